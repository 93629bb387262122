// Every sound file the scene media manager has handed out: the scene sounds
// by 1-based scene position and the tour sound under key -1. Entries are only
// added; destroying the list deletes the files.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "package/payload.h"

namespace package {

struct SoundFileEntry {
    static constexpr std::int32_t tourSoundKey = -1;

    SoundFileEntry(std::int32_t key, std::unique_ptr<TempFile> file)
        : key(key), file(std::move(file)) {}
    ~SoundFileEntry() {
        file.reset();  // deletes the file from disk
        key = tourSoundKey;
    }
    SoundFileEntry(const SoundFileEntry&) = delete;
    SoundFileEntry& operator=(const SoundFileEntry&) = delete;

    std::int32_t key;
    std::unique_ptr<TempFile> file;
};

class SoundFileList {
  public:
    SoundFileList() = default;
    ~SoundFileList() { clear(); }
    SoundFileList(const SoundFileList&) = delete;
    SoundFileList& operator=(const SoundFileList&) = delete;

    // Appends the entry; a null entry too (when it could not be made).
    void add(std::unique_ptr<SoundFileEntry> entry) { entries_.push_back(std::move(entry)); }
    // The entry at an index below `count`.
    SoundFileEntry* get(std::int32_t index) const {
        return entries_[static_cast<std::size_t>(index)].get();
    }
    std::int32_t count() const { return static_cast<std::int32_t>(entries_.size()); }
    // The first entry with this key, or null.
    SoundFileEntry* find(std::int32_t key) const {
        for (const auto& entry : entries_) {
            if (entry != nullptr && entry->key == key) {
                return entry.get();
            }
        }
        return nullptr;
    }
    // Deletes every entry, front first.
    void clear() {
        for (auto& entry : entries_) {
            entry.reset();
        }
        entries_.clear();
    }

  private:
    std::vector<std::unique_ptr<SoundFileEntry>> entries_;
};

}  // namespace package
