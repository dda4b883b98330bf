/* A DLL that is no plug-in module: it exports no _mod_descrip. */
__declspec(dllexport) int huevane_not_a_module = 1;
