// Built only by the layer test, which expects it not to build: it stands in a
// layer and includes a header of a layer above.
#include SRDW_PROBE_HEADER
