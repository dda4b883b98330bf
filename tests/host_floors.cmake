# The host's floors see only what host/CMakeLists.txt gives them: each row
# compiles one #include with nothing on the include path but the floor's
# directory of links, and says whether the header must be found there. The
# simulated desktop (floor "desktop") sees the plug-in's Win32 stand-in
# header alone, from its own directory of links.
#   cmake -DCXX=g++ -DROOT=<build>/host-include -DSTANDIN=<build>/win32-standin-include
#         -DWORK=<dir> -P host_floors.cmake
set(rows
  # floor   header                 found
  "common common/quote.h YES"
  "common input/action.h NO"
  "common model/host.h NO"
  "desktop win32/win32_standin.h YES"
  "desktop win32/clipboard.h NO"
  "desktop win32/win32.h NO"
  "desktop eyedropper/eyedropper.h NO"
  "input common/file_read.h YES"
  "input input/vocabulary.h YES"
  "input model/places.h NO"
  "input output/snapshot.h NO"
  "input session/session.h NO"
  "input tables/host_abi.h NO"
  "model input/action.h NO"
  "output input/script.h NO"
  "output session/cli.h NO"
  "tables output/trace_file.h NO")
file(MAKE_DIRECTORY ${WORK})
set(failures "")
foreach(row IN LISTS rows)
  string(REPLACE " " ";" row "${row}")
  list(GET row 0 floor)
  list(GET row 1 header)
  list(GET row 2 found)
  string(MAKE_C_IDENTIFIER "${floor}_${header}" name)
  file(WRITE ${WORK}/${name}.cpp "#include \"${header}\"\n")
  set(dir ${ROOT}/${floor})
  if(floor STREQUAL "desktop")
    set(dir ${STANDIN})
  endif()
  execute_process(COMMAND ${CXX} -std=c++20 -fsyntax-only -I${dir} ${WORK}/${name}.cpp
                  RESULT_VARIABLE rc OUTPUT_QUIET ERROR_VARIABLE err)
  string(FIND "${err}" "${header}: No such file" missing)
  if(found STREQUAL "YES" AND NOT rc EQUAL 0)
    string(APPEND failures "  ${floor} should see ${header}:\n${err}\n")
  elseif(found STREQUAL "NO" AND missing EQUAL -1)
    string(APPEND failures "  ${floor} must not see ${header}\n")
  endif()
endforeach()
if(failures)
  message(FATAL_ERROR "host floors:\n${failures}")
endif()
