/* How the conformance host ends a run the plug-in has broken: a crash (a
   fatal signal, or on Windows an exception nobody caught) or a call that
   does not return within the time limit, each a FAIL line naming what the
   host was doing, and on Windows the faulting instruction as module and
   offset (with the function, from the module's symbol table). */
#ifndef SDK_HOST_SDK_CRASH_H
#define SDK_HOST_SDK_CRASH_H

/* What the host is doing, for the FAIL line: a string constant. */
extern const char *volatile sdk_phase;

/* The default time the plug-in may take for one call, in seconds: the
   windowed reference host's. */
#define SDK_DEFAULT_TIMEOUT_S 30

/* Reports crashes from now on. */
void sdk_watch_crashes(void);
/* Remembers the loaded module (its file and where it lies in memory) to
   name a fault inside it. */
void sdk_watch_module(const char *path, void *library);
/* Ends the run with a FAIL line when the plug-in keeps the host for
   `seconds` or more in one step; 0 stops the watch. */
void sdk_limit_time(unsigned seconds);

#endif /* SDK_HOST_SDK_CRASH_H */
