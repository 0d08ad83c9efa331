// A library that loads but has no Convert entry.
extern "C" __attribute__((visibility("default"))) int NotConvert() {
    return 0;
}
