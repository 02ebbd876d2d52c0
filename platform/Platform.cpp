#include "platform/Platform.h"

#include <cstdlib>

namespace
{
CPlatform* g_pPlatform = nullptr;
}

CPlatform& Platform()
{
    if (g_pPlatform == nullptr)
        std::abort();
    return *g_pPlatform;
}

void SetPlatform(CPlatform* platform)
{
    g_pPlatform = platform;
}
