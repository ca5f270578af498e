#include "catalogue/ParsedTypeCache.h"

namespace tornu {

thread_local CParsedTypeCache* CParsedTypeCache::current_ = nullptr;

} // namespace tornu
