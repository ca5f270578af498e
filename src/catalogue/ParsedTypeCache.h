#pragma once
// Parsed device types shared while a cache is in scope: the whole
// configuration holds the same few description texts thousands of times, so
// the load parses each distinct text once and every record of that text
// shares the parsed fields and the text.
//
// The cache is this thread's while the object lives; without one every text
// is parsed on its own.
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

namespace tornu {

class CParsedTypeCache {
public:
    CParsedTypeCache();
    ~CParsedTypeCache();
    CParsedTypeCache(const CParsedTypeCache&) = delete;
    CParsedTypeCache& operator=(const CParsedTypeCache&) = delete;

    // The fields parsed from `text`, from the cache when one is in scope.
    // `parse` returns null (and says why in `reason`) for an invalid text;
    // refusals are not kept, so each caller hears its reason.
    template <class Fields, class Parse>
    static std::shared_ptr<const Fields> Find(std::string_view text, std::string* reason,
                                              Parse parse) {
        CParsedTypeCache* cache = Current();
        if (!cache)
            return parse(text, reason);
        Map& map = cache->maps_[Tag<Fields>()];
        if (auto found = map.find(text); found != map.end())
            return std::static_pointer_cast<const Fields>(found->second);
        std::shared_ptr<const Fields> parsed = parse(text, reason);
        if (parsed)
            map.emplace(std::string(text), parsed);
        return parsed;
    }

private:
    struct Hash {
        using is_transparent = void;
        std::size_t operator()(std::string_view text) const {
            return std::hash<std::string_view>()(text);
        }
    };
    using Map = std::unordered_map<std::string, std::shared_ptr<const void>, Hash, std::equal_to<>>;

    template <class Fields> static const void* Tag() {
        static const char tag = 0;
        return &tag;
    }

    // The thread's cache is reached only from ParsedTypeCache.cpp, which
    // defines it. Elsewhere GCC tests the sanitizer's null check on the flags
    // of the instruction that adds the variable's offset, and the linker
    // rewrites that instruction into one that sets no flags: an optimised
    // sanitizer build then reports a store to a null pointer that is not.
    static CParsedTypeCache* Current();

    CParsedTypeCache* previous_;
    std::unordered_map<const void*, Map> maps_;
};

} // namespace tornu
