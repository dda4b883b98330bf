# Registers the checks of the Windows binaries as CTest tests of the mingw
# build. The mingw preset includes this file right after project(huevane)
# (CMAKE_PROJECT_huevane_INCLUDE); the tests are added once the whole tree has
# been read, so that they can ask which targets exist.
if(NOT WIN32)
  return()
endif()

enable_testing()

function(huevane_add_dll_checks)
  set(check ${PROJECT_SOURCE_DIR}/tests/dll/check_pe.sh)
  if(NOT HUEVANE_MINGW_OBJDUMP)
    set(HUEVANE_MINGW_OBJDUMP x86_64-w64-mingw32-objdump)
  endif()
  if(NOT HUEVANE_MINGW_STRIP)
    set(HUEVANE_MINGW_STRIP x86_64-w64-mingw32-strip)
  endif()
  # The plug-in: only the three system DLLs and the C runtime, the
  # descriptor the host looks up, and none of the test builds' allocation
  # failure injection.
  if(TARGET huevane)
    add_test(NAME dll.huevane_p
             COMMAND bash ${check} --objdump ${HUEVANE_MINGW_OBJDUMP}
                     --allow "KERNEL32.dll USER32.dll GDI32.dll msvcrt.dll"
                     --export _mod_descrip --no-symbol "fail_(countdown|allocation)"
                     --windres ${CMAKE_RC_COMPILER} --version ${PROJECT_VERSION}
                     $<TARGET_FILE:huevane>)
    set_tests_properties(dll.huevane_p PROPERTIES LABELS dll)
    # The same checks on huevane.p as the release package holds it: no
    # .debug_* sections, its version resource and exports kept, and at most
    # 150 KiB (about 118 KiB now; the C++ library's number conversions alone
    # would add 500).
    add_test(NAME dll.huevane_p_packaged
             COMMAND bash ${check} --objdump ${HUEVANE_MINGW_OBJDUMP}
                     --allow "KERNEL32.dll USER32.dll GDI32.dll msvcrt.dll"
                     --export _mod_descrip --windres ${CMAKE_RC_COMPILER}
                     --version ${PROJECT_VERSION} --stripped-by ${HUEVANE_MINGW_STRIP}
                     --max-bytes 153600 $<TARGET_FILE:huevane>)
    set_tests_properties(dll.huevane_p_packaged PROPERTIES LABELS dll)
  endif()
  # The layout header of the host package, as an author's mingw compiles
  # it: alone, as C89 and as C++98.
  add_test(NAME dll.host_api_c89
           COMMAND ${CMAKE_C_COMPILER} -std=c89 -pedantic-errors -Wall -Wextra -Werror
                   -fsyntax-only -x c ${PROJECT_SOURCE_DIR}/src/abi/host_api.h)
  add_test(NAME dll.host_api_cxx98
           COMMAND ${CMAKE_CXX_COMPILER} -std=c++98 -pedantic-errors -Wall -Wextra -Werror
                   -fsyntax-only -x c++ ${PROJECT_SOURCE_DIR}/src/abi/host_api.h)
  set_tests_properties(dll.host_api_c89 dll.host_api_cxx98 PROPERTIES LABELS dll)
  # The host executable, when it is built: it must start on a bare Windows,
  # so no mingw runtime DLL and no api-ms-win-crt forwarder.
  if(TARGET huevane-host)
    add_test(NAME dll.huevane_host_exe
             COMMAND bash ${check} --objdump ${HUEVANE_MINGW_OBJDUMP} --system-only
                     $<TARGET_FILE:huevane-host>)
    set_tests_properties(dll.huevane_host_exe PROPERTIES LABELS dll)
    add_test(NAME dll.huevane_host_exe_packaged
             COMMAND bash ${check} --objdump ${HUEVANE_MINGW_OBJDUMP} --system-only
                     --stripped-by ${HUEVANE_MINGW_STRIP} $<TARGET_FILE:huevane-host>)
    set_tests_properties(dll.huevane_host_exe_packaged PROPERTIES LABELS dll)
  endif()
  # huevane-check.exe, in both packages: it too starts on a bare Windows.
  if(TARGET huevane-check)
    add_test(NAME dll.huevane_check_exe_packaged
             COMMAND bash ${check} --objdump ${HUEVANE_MINGW_OBJDUMP} --system-only
                     --stripped-by ${HUEVANE_MINGW_STRIP} $<TARGET_FILE:huevane-check>)
    set_tests_properties(dll.huevane_check_exe_packaged PROPERTIES LABELS dll)
  endif()
endfunction()

cmake_language(DEFER CALL huevane_add_dll_checks)
