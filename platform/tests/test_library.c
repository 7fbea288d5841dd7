/* A tiny run-time library for the dynamic-library layer's tests. */
int ztTestAnswer(void) { return 42; }
int ztTestOther(void) { return 7; }
