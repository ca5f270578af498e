#include "catalogue/ParsedTypeCache.h"

namespace tornu {

namespace {
thread_local CParsedTypeCache* g_current = nullptr;
} // namespace

CParsedTypeCache::CParsedTypeCache() : previous_(g_current) {
    g_current = this;
}

CParsedTypeCache::~CParsedTypeCache() {
    g_current = previous_;
}

CParsedTypeCache* CParsedTypeCache::Current() {
    return g_current;
}

} // namespace tornu
