#include "model/typed_texts.h"

#include <atomic>
#include <functional>
#include <mutex>

#include "model/state.h"

namespace {

// Filled in order; a slot once set never changes.
std::atomic<const std::string*> texts[kMaxTypedTexts];
std::atomic<size_t> hashes[kMaxTypedTexts];
std::atomic<int32_t> textCount{0};

}  // namespace

int32_t keepTypedText(const std::string& text) {
    const size_t hash = std::hash<std::string>{}(text);
    std::lock_guard<std::mutex> lock(appState().profilesLock);
    const int32_t count = textCount.load();
    for (int32_t id = 0; id < count; ++id)
        if (hashes[id].load() == hash && *texts[id].load() == text) return id;
    if (count == kMaxTypedTexts) return -1;
    hashes[count] = hash;
    texts[count].store(new std::string(text));
    textCount.store(count + 1);
    return count;
}

const std::string* typedTextOf(int32_t id) {
    if (id < 0 || id >= textCount.load()) return nullptr;
    return texts[id].load();
}
