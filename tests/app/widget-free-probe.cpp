// Built only by the test widget_free_*: a source of a library that must stay
// free of widgets, including the header named by QUORBEL_PROBE_HEADER.
#include QUORBEL_PROBE_HEADER
