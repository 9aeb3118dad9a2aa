// Sanitizer defaults, built into every program that links vardolib when VARDO_SANITIZE is on
// (the face, the unit tests). The runtimes read these before main; ASAN_OPTIONS, LSAN_OPTIONS
// and UBSAN_OPTIONS in the environment still override them one setting at a time.
//
// Any report ends the process with a status no test takes for success: an ASan or UBSan error
// stops at the first report, and LSan checks for leaks when the process exits normally. The
// face leaves through std::_Exit on Exit, which skips that check; its leaks are covered by the
// valgrind run of a desktop session (memcheck) and by the soak's memory bound.

#ifndef VARDO_LSAN_SUPPRESSIONS
#error "VARDO_LSAN_SUPPRESSIONS names the leak suppressions file"
#endif

extern "C" {

// No strict_string_checks: libxkbcommon-x11 copies atom names with strndup from buffers that
// are not NUL-terminated, which is correct, and that check reports it.
const char* __asan_default_options() {
    return "halt_on_error=1:abort_on_error=0:exitcode=86:detect_leaks=1:"
           "detect_stack_use_after_return=1:check_initialization_order=1";
}

const char* __lsan_default_options() {
    return "exitcode=87:suppressions=" VARDO_LSAN_SUPPRESSIONS ":print_suppressions=0";
}

const char* __ubsan_default_options() {
    return "halt_on_error=1:print_stacktrace=1:exitcode=88";
}

} // extern "C"
