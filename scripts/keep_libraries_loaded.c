/* Preloaded into the sanitizer runs (scripts/sanitize): dlclose does nothing, so the GL driver's
 * shared objects stay mapped until exit. Mesa frees some of its records only by unloading the
 * driver, whose code is then gone; LeakSanitizer would report those blocks from an unknown module,
 * which no suppression can name. With the driver kept, they stay reachable from its globals
 * like every other record a library keeps until exit. */
int dlclose(void* handle) {
    (void)handle;
    return 0;
}
