// SDL unloads the GL driver on quit, and the driver keeps a few allocations until exit. A leak
// report from an unloaded library names no module, so no suppression in tests/lsan.supp can
// match it; keeping every library that is loaded now mapped keeps such reports attributable.
#pragma once

#include <dlfcn.h>
#include <link.h>

// Pins every currently loaded library so that unloading it later leaves it mapped.
inline void keep_libraries_mapped()
{
    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void*) {
            if (info->dlpi_name && info->dlpi_name[0])
                dlopen(info->dlpi_name, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
            return 0;
        },
        nullptr);
}
