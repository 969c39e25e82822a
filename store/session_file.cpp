// session.mcr: the settings, the current index and every profile with its
// events. A save copies what must be consistent under profilesLock, formats
// outside it, and replaces the file in one durable step, so a crash at any
// moment leaves either the previous file or the new one on disk, whole.
#include "store/session_file.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <fstream>
#include <functional>
#include <iterator>

#include "platform/platform.h"
#include "store/data_dir.h"
#include "store/save_outcome.h"
#include "text/arguments.h"
#include "text/lines.h"

namespace {

struct SessionSnapshot {
    int32_t current = 0;
    std::vector<Profile> profiles;
    uint64_t sequence = 0;  // orders snapshots, so an older one never overwrites a newer
    uint64_t changes = 0;   // sessionChanges when it was taken
    uint64_t edits = 0;     // eventListEdits when it was taken
    // The current profile's events were copied from this index on: those
    // before it are already formatted in the lines cache.
    size_t currentFrom = 0;
    // The event lines of the lists other than the current one, formatted a
    // slice at a time ahead of the final hold while eventListEdits read
    // formattedAt; UINT64_MAX when they were not, and the final hold copies
    // their events instead.
    uint64_t formattedAt = UINT64_MAX;
    std::vector<std::string> formattedLines;  // by list; the current one's stay empty
};

// The current list's event lines as the last save formatted them, so that a
// save while a recording appends formats (and copies under the lock) only
// what was appended: at a million events that is most of a save's work.
// It holds the first `events` events of list `current` as they were at
// eventListEdits `edits`; any other change of the list moves that counter.
// A save made while no recording runs lets it go.
struct CurrentLinesCache {
    uint64_t edits = UINT64_MAX;
    int32_t current = -1;
    size_t events = 0;
    std::string lines;
};
CurrentLinesCache linesCache;
// One save at a time uses the cache; another (or a crash handler's, whose
// thread may have died holding it) formats everything instead of waiting.
std::atomic<bool> linesCacheTaken{false};

struct LinesCacheUse {
    CurrentLinesCache* cache = nullptr;
    LinesCacheUse() {
        bool expected = false;
        if (linesCacheTaken.compare_exchange_strong(expected, true)) cache = &linesCache;
    }
    ~LinesCacheUse() {
        if (cache) linesCacheTaken = false;
    }
    LinesCacheUse(const LinesCacheUse&) = delete;
    LinesCacheUse& operator=(const LinesCacheUse&) = delete;
};

// How many events of the current list the cache already holds, under
// profilesLock: 0 unless the list has only grown since they were formatted.
size_t eventsAlreadyFormatted(const CurrentLinesCache* cache, const AppState& s) {
    if (!cache || cache->edits != s.eventListEdits || cache->current != s.currentProfile) return 0;
    if (s.currentProfile < 0 || size_t(s.currentProfile) >= s.profiles.size()) return 0;
    return cache->events <= s.profiles[size_t(s.currentProfile)].events.size() ? cache->events : 0;
}

std::atomic<uint64_t> snapshotSequence{0};
std::atomic<uint64_t> writtenSequence{0};
// What the file on disk was written from: sessionChanges and the settings
// line's hash, so a periodic save can tell that it would write the same.
std::atomic<uint64_t> writtenChanges{UINT64_MAX};
std::atomic<size_t> writtenSettingsHash{0};
std::atomic<bool> fileBusy{false};
std::atomic<int64_t> lastHoldNanoseconds{0};

bool tryLockProfiles(int attempts) {
    for (int i = 0; i < attempts; ++i) {
        if (appState().profilesLock.try_lock()) return true;
        if (i + 1 < attempts) platform::sleepMs(1);
    }
    return false;
}

// How many events one hold copies: about a megabyte, a fraction of a
// millisecond. Each slice is formatted before the next is copied, which
// leaves the lock free long enough for the hooks, which append under it.
constexpr size_t kCopySlice = 32768;
// Once a save has begun, it waits this many milliseconds at most for a
// hook's append to finish before a slice.
constexpr int kSliceLockAttempts = 10;

#ifdef VARNET_BENCH_PROBES
// In the benchmarks' build only: the time the save under way has spent
// formatting, wherever it formats (slices, the lines cache, the text).
thread_local int64_t formattingNs = 0;
std::atomic<int64_t> lastFormattingNs{0};

struct FormattingTime {
    std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
    ~FormattingTime() {
        formattingNs +=
            std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now() - start).count();
    }
};
#define VARNET_TIME_FORMATTING const FormattingTime formattingTime
#else
#define VARNET_TIME_FORMATTING
#endif

void appendEventLines(std::string& out, const MacroEvent* events, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        appendEventLine(out, events[i]);
        out += "\r\n";
    }
}

// Formats the event lines of every list but the current one, a slice per
// hold. While eventListEdits keeps its value those lists stay as they are
// (only the current one grows); a change in between leaves the copy of
// their events to the final hold.
bool formatOtherListsInSlices(SessionSnapshot& snapshot, int attempts) {
    std::vector<size_t> counts;
    {
        if (!tryLockProfiles(attempts)) return false;
        std::lock_guard<std::mutex> lock(appState().profilesLock, std::adopt_lock);
        const AppState& s = appState();
        snapshot.formattedAt = s.eventListEdits;
        snapshot.current = s.currentProfile;
        for (const Profile& p : s.profiles) counts.push_back(p.events.size());
    }
    snapshot.formattedLines.assign(counts.size(), {});
    std::vector<MacroEvent> slice(kCopySlice);
    for (size_t list = 0; list < counts.size(); ++list) {
        if (int32_t(list) == snapshot.current) continue;
        std::string& lines = snapshot.formattedLines[list];
        lines.reserve(counts[list] * 32);
        for (size_t done = 0; done < counts[list];) {
            const size_t count = std::min(kCopySlice, counts[list] - done);
            {
                if (!tryLockProfiles(std::max(attempts, kSliceLockAttempts))) return false;
                std::lock_guard<std::mutex> lock(appState().profilesLock, std::adopt_lock);
                const AppState& s = appState();
                if (s.eventListEdits != snapshot.formattedAt) {
                    snapshot.formattedAt = UINT64_MAX;
                    return true;
                }
                const auto from = s.profiles[list].events.begin() + std::ptrdiff_t(done);
                std::copy(from, from + std::ptrdiff_t(count), slice.begin());
            }
            {
                VARNET_TIME_FORMATTING;
                appendEventLines(lines, slice.data(), count);
            }
            done += count;
        }
    }
    return true;
}

// Sizes the current list's copy under a short hold and allocates it outside
// the lock, so the final hold is a plain memory copy and never stalls the
// hooks with a page fault.
bool prepareCurrentCopy(SessionSnapshot& snapshot, const CurrentLinesCache* cache, int attempts) {
    size_t count = 0;
    {
        if (!tryLockProfiles(attempts)) return false;
        std::lock_guard<std::mutex> lock(appState().profilesLock, std::adopt_lock);
        const AppState& s = appState();
        if (s.currentProfile >= 0 && size_t(s.currentProfile) < s.profiles.size())
            count = s.profiles[size_t(s.currentProfile)].events.size() - eventsAlreadyFormatted(cache, s);
    }
    snapshot.profiles.resize(snapshot.formattedLines.size());
    if (snapshot.current >= 0 && size_t(snapshot.current) < snapshot.profiles.size()) {
        // Room for what a running recording adds before the final hold.
        std::vector<MacroEvent>& events = snapshot.profiles[size_t(snapshot.current)].events;
        events.resize(count + count / 16 + 256);
        events.clear();
    }
    return true;
}

// The final hold: names, settings and counters, and the events not yet
// formatted: of the current list those past the lines cache, of the others
// all of them when a change came between their slices.
bool copySnapshot(SessionSnapshot& snapshot, const CurrentLinesCache* cache, int attempts) {
    if (!tryLockProfiles(attempts)) return false;
    const auto heldSince = std::chrono::steady_clock::now();
    std::lock_guard<std::mutex> lock(appState().profilesLock, std::adopt_lock);
    const AppState& s = appState();
    if (snapshot.formattedAt != s.eventListEdits || snapshot.formattedLines.size() != s.profiles.size()) {
        snapshot.formattedAt = UINT64_MAX;
        snapshot.formattedLines.clear();
    }
    snapshot.current = s.currentProfile;
    snapshot.currentFrom = eventsAlreadyFormatted(cache, s);
    snapshot.profiles.resize(s.profiles.size());
    for (size_t i = 0; i < s.profiles.size(); ++i) {
        const Profile& from = s.profiles[i];
        Profile& to = snapshot.profiles[i];
        to.name = from.name;
        to.settings = from.settings;
        const bool current = int32_t(i) == s.currentProfile;
        if (!current && snapshot.formattedAt != UINT64_MAX) continue;
        const size_t skipped = current ? snapshot.currentFrom : 0;
        to.events.assign(from.events.begin() + std::ptrdiff_t(skipped), from.events.end());
    }
    snapshot.sequence = ++snapshotSequence;
    snapshot.changes = s.sessionChanges;
    snapshot.edits = s.eventListEdits;
    lastHoldNanoseconds = std::chrono::duration_cast<std::chrono::nanoseconds>(
                              std::chrono::steady_clock::now() - heldSince)
                              .count();
    return true;
}

bool takeSnapshot(SessionSnapshot& snapshot, const CurrentLinesCache* cache, int attempts) {
    return formatOtherListsInSlices(snapshot, attempts) && prepareCurrentCopy(snapshot, cache, attempts) &&
           copySnapshot(snapshot, cache, attempts);
}

// A long list is brought into the cache a slice at a time, each copied in
// its own short hold, so that its first save never stalls the hooks for the
// time of copying it all. Stops early when the lock is busy; the snapshot
// then copies the rest.
void catchUpLinesCache(CurrentLinesCache& cache, int attempts) {
    std::vector<MacroEvent> slice(kCopySlice);
    for (;;) {
        if (!tryLockProfiles(attempts)) return;
        {
            std::lock_guard<std::mutex> lock(appState().profilesLock, std::adopt_lock);
            const AppState& s = appState();
            if (s.currentProfile < 0 || size_t(s.currentProfile) >= s.profiles.size()) return;
            const std::vector<MacroEvent>& events = s.profiles[size_t(s.currentProfile)].events;
            if (cache.edits != s.eventListEdits || cache.current != s.currentProfile || cache.events > events.size())
                cache = CurrentLinesCache{s.eventListEdits, s.currentProfile, 0, {}};
            if (events.size() - cache.events <= kCopySlice) return;
            const auto from = events.begin() + std::ptrdiff_t(cache.events);
            std::copy(from, from + std::ptrdiff_t(kCopySlice), slice.begin());
        }
        {
            VARNET_TIME_FORMATTING;
            appendEventLines(cache.lines, slice.data(), kCopySlice);
        }
        cache.events += kCopySlice;
    }
}

// Brings the cache up to the snapshot: the copied events of the current
// list are appended to the lines it kept, or replace them.
void updateLinesCache(CurrentLinesCache& cache, const SessionSnapshot& snapshot) {
    if (snapshot.current < 0 || size_t(snapshot.current) >= snapshot.profiles.size()) {
        cache = CurrentLinesCache{};
        return;
    }
    if (snapshot.currentFrom == 0) {
        cache.lines.clear();
        cache.events = 0;
    }
    const std::vector<MacroEvent>& events = snapshot.profiles[size_t(snapshot.current)].events;
    VARNET_TIME_FORMATTING;
    appendEventLines(cache.lines, events.data(), events.size());
    cache.events += events.size();
    cache.edits = snapshot.edits;
    cache.current = snapshot.current;
}

// The renames take turns, and each is the last look at the order: a slow
// save that finishes its write after a newer snapshot (the crash save's, which
// does not wait long for it) took the file's place keeps its older text off.
std::atomic<bool> renaming{false};
const int kRenameTurnMs = 2000;  // a rename takes far less; a writer stuck longer is passed

bool enterRename(void* context) {
    const uint64_t sequence = *static_cast<const uint64_t*>(context);
    for (int waited = 0;; ++waited) {
        bool expected = false;
        if (renaming.compare_exchange_strong(expected, true) || waited >= kRenameTurnMs) break;
        platform::sleepMs(1);
    }
    if (writtenSequence.load() < sequence) return true;
    renaming = false;
    return false;
}

void leaveRename(void* context, bool renamed) {
    const uint64_t sequence = *static_cast<const uint64_t*>(context);
    uint64_t seen = writtenSequence.load();
    while (renamed && seen < sequence && !writtenSequence.compare_exchange_weak(seen, sequence)) {
    }
    renaming = false;
}

// One writer at a time; a snapshot older than the one on disk is dropped. A
// writer that waited too long writes anyway when told to: the rename keeps
// the file whole even then.
void writeSnapshotText(const std::string& text, const SessionSnapshot& snapshot, size_t settingsHash,
                       int waitMs, bool writeAfterWait, std::string* failure) {
    const uint64_t sequence = snapshot.sequence;
    bool owner = false;
    for (int waited = 0;; ++waited) {
        bool expected = false;
        if (fileBusy.compare_exchange_strong(expected, true)) {
            owner = true;
            break;
        }
        if (waited >= waitMs) break;
        platform::sleepMs(1);
    }
    if (!owner && !writeAfterWait) return;
    if (writtenSequence.load() < sequence) {
        uint64_t gateSequence = sequence;
        const platform::RenameGate gate{enterRename, leaveRename, &gateSequence};
        if (platform::replaceFileDurably(appState().sessionPath, text, failure, &gate)) {
            if (failure) failure->clear();
            if (writtenSequence == sequence) {
                writtenChanges = snapshot.changes;
                writtenSettingsHash = settingsHash;
            }
        }
    }
    if (owner) fileBusy = false;
}

// True when the file already holds these settings and the profiles as they
// are: nothing has changed since it was written. A failed write leaves the
// file's record as it was, so the next periodic save tries again; a file
// taken away meanwhile is written again.
bool fileIsCurrent(size_t settingsHash, int lockAttempts) {
    if (writtenSettingsHash != settingsHash || !platform::pathExists(appState().sessionPath) ||
        !tryLockProfiles(lockAttempts))
        return false;
    std::lock_guard<std::mutex> lock(appState().profilesLock, std::adopt_lock);
    return writtenChanges == appState().sessionChanges;
}

// The session just read from the file is what the file holds: the periodic
// save has nothing to write until something changes.
void markFileCurrent() {
    const size_t settingsHash = std::hash<std::string>{}(formatSettingsLine());
    std::lock_guard<std::mutex> lock(appState().profilesLock);
    writtenChanges = appState().sessionChanges;
    writtenSettingsHash = settingsHash;
}

// The step lines of a settings text, each ended as a file line. The
// session's own settings line leaves them out: they are the current
// profile's, and its lines carry them.
void appendStepLines(std::string& out, const std::string& steps) {
    for (size_t start = 0; start < steps.size();) {
        const size_t end = std::min(steps.find('\n', start), steps.size());
        out.append(steps, start, end - start);
        out += "\r\n";
        start = end + 1;
    }
}

// The session's text; a list whose entry in formatted is not null has its
// event lines in it, already formatted.
std::string formatSessionWith(const std::string& settingsLine, int32_t current, const std::vector<Profile>& profiles,
                              const std::vector<const std::string*>& formatted) {
    size_t eventCount = 0, formattedSize = 0;
    for (const Profile& p : profiles) eventCount += p.events.size();
    for (const std::string* lines : formatted) formattedSize += lines ? lines->size() : 0;
    std::string out;
    out.reserve(256 + eventCount * 32 + profiles.size() * 128 + formattedSize);
    // The extra settings line follows CURRENT: a reader that does not know
    // it takes the line after SETTINGS as CURRENT, and skips what stands
    // before the first PROFILE.
    const SettingsText settings = splitSettingsText(settingsLine);
    out += "SETTINGS:" + settings.line + "\r\n";
    out += "CURRENT:" + std::to_string(current) + "\r\n";
    if (!settings.extra.empty()) out += kSettingsExtraKeyword + settings.extra + "\r\n";
    if (!settings.typer.empty()) out += kTyperKeyword + settings.typer + "\r\n";
    for (size_t i = 0; i < profiles.size(); ++i) {
        const Profile& p = profiles[i];
        out += "PROFILE:";
        out += p.name;
        out += "\r\n";
        if (!p.settings.empty()) {
            const SettingsText own = splitSettingsText(p.settings);
            out += "PROFILESETTINGS:";
            out += own.line;
            out += "\r\n";
            if (!own.extra.empty()) {
                out += kProfileExtraKeyword;
                out += own.extra;
                out += "\r\n";
            }
            if (!own.typer.empty()) {
                out += kTyperKeyword;
                out += own.typer;
                out += "\r\n";
            }
            appendStepLines(out, own.steps);
        }
        if (i < formatted.size() && formatted[i]) {
            out += *formatted[i];
            continue;
        }
        appendEventLines(out, p.events.data(), p.events.size());
    }
    return out;
}

// Returns why the write failed, "" when it succeeded or was not tried. With
// report, the outcome is also noted for the page (never from a crash).
std::string save(int lockAttempts, int waitMs, bool writeAfterWait, bool report, bool skipWhenCurrent = false) {
    if (appState().sessionPath.empty()) return "";
    const std::string settings = formatSettingsLine();
    const size_t settingsHash = std::hash<std::string>{}(settings);
    if (skipWhenCurrent && fileIsCurrent(settingsHash, lockAttempts)) return "";
#ifdef VARNET_BENCH_PROBES
    formattingNs = 0;
#endif
    LinesCacheUse use;
    if (use.cache) catchUpLinesCache(*use.cache, lockAttempts);
    SessionSnapshot snapshot;
    if (!takeSnapshot(snapshot, use.cache, lockAttempts)) return "";
    // The list is never empty once start-up has run; an empty one means the
    // load has not finished, and writing it would wipe the user's profiles.
    if (snapshot.profiles.empty()) return "";
    std::vector<const std::string*> formatted(snapshot.profiles.size(), nullptr);
    for (size_t i = 0; i < snapshot.formattedLines.size() && i < formatted.size(); ++i)
        if (int32_t(i) != snapshot.current) formatted[i] = &snapshot.formattedLines[i];
    if (use.cache) {
        updateLinesCache(*use.cache, snapshot);
        if (snapshot.current >= 0 && size_t(snapshot.current) < formatted.size())
            formatted[size_t(snapshot.current)] = &use.cache->lines;
    }
    const std::string text = [&] {
        VARNET_TIME_FORMATTING;
        return formatSessionWith(settings, snapshot.current, snapshot.profiles, formatted);
    }();
    std::string failure = "not written";
    writeSnapshotText(text, snapshot, settingsHash, waitMs, writeAfterWait, report ? &failure : nullptr);
    // The cache pays off in the saves a recording makes while it appends; at
    // rest it would be a second copy of the list (32 MB at a million events).
    if (use.cache && !appState().recording) {
        *use.cache = CurrentLinesCache{};
        std::string().swap(use.cache->lines);  // the assignment above keeps the buffer
    }
    if (failure == "not written") return "";  // a newer snapshot got there first
#ifdef VARNET_BENCH_PROBES
    lastFormattingNs = formattingNs;
#endif
    if (report) noteSaveOutcome(SavedFile::Session, appState().sessionPath, failure);
    return failure;
}

bool startsWith(std::string_view line, const char* keyword, size_t length) {
    return line.size() >= length && line.compare(0, length, keyword) == 0;
}

int32_t readCurrentLine(const std::string& text, size_t& position) {
    std::string line;
    int32_t current = 0;
    if (nextLine(text, position, line) && startsWith(line, "CURRENT:", 8)) {
        if (!parseInt32(line.substr(8), current)) current = 0;
    }
    return current;
}

// The values of the next line when it is the extra line of this keyword;
// otherwise "", and position stays.
std::string readExtraLine(const std::string& text, size_t& position, const char* keyword) {
    size_t next = position;
    std::string line;
    const size_t length = std::char_traits<char>::length(keyword);
    if (!nextLine(text, next, line) || !startsWith(line, keyword, length)) return "";
    position = next;
    return line.substr(length);
}

// Each line is a view into the text and each event line is read in place:
// at a million events, copying them was most of a load.
std::vector<Profile> readProfiles(const std::string& text, size_t position) {
    std::vector<Profile> profiles;
    Profile* target = nullptr;
    std::string_view line;
    MacroEvent event;
    while (nextLine(std::string_view(text), position, line)) {
        if (startsWith(line, "PROFILE:", 8)) {
            profiles.push_back(Profile{std::string(line.substr(8)), "", {}});
            target = &profiles.back();
        } else if (startsWith(line, "PROFILESETTINGS:", 16)) {
            if (target) target->settings = line.substr(16);
        } else if (startsWith(line, kProfileExtraKeyword, sizeof kProfileExtraKeyword - 1)) {
            // Without its profile line it has nothing to extend.
            if (target && !target->settings.empty()) {
                const SettingsText own = splitSettingsText(target->settings);
                target->settings = withTyperLine(
                    joinSettingsText(own.line, std::string(line.substr(sizeof kProfileExtraKeyword - 1)), own.steps),
                    own.typer);
            }
        } else if (startsWith(line, kTyperKeyword, sizeof kTyperKeyword - 1)) {
            if (target && !target->settings.empty())
                target->settings =
                    withTyperLine(target->settings, std::string(line.substr(sizeof kTyperKeyword - 1)));
        } else if (startsWith(line, kClickStepKeyword, sizeof kClickStepKeyword - 1)) {
            // Kept as written; applying the profile's text checks each value.
            if (target && !target->settings.empty()) {
                target->settings += '\n';
                target->settings += line;
            }
        } else if (line.empty() || !target) {
            continue;
        } else if (parseEventLine(line, event, false)) {
            target->events.push_back(event);
        }
    }
    return profiles;
}

// The session's settings line holds the live settings but not the click
// sequence, which comes from the current profile's lines.
void installProfiles(std::vector<Profile>&& loaded, int32_t current) {
    const std::string liveSettings = formatProfileSettings();
    AppState& s = appState();
    std::string steps;
    {
        std::lock_guard<std::mutex> lock(s.profilesLock);
        s.profiles = std::move(loaded);
        if (current < 0 || size_t(current) >= s.profiles.size()) current = 0;
        s.currentProfile = current;
        if (s.profiles[size_t(current)].settings.empty())
            s.profiles[size_t(current)].settings = liveSettings;
        steps = splitSettingsText(s.profiles[size_t(current)].settings).steps;
        noteEventListEdited();
    }
    applyClickSteps(steps);
}

}  // namespace

std::string formatSession(const std::string& settingsLine, int32_t current,
                          const std::vector<Profile>& profiles) {
    return formatSessionWith(settingsLine, current, profiles, {});
}


int64_t lastSaveLockHoldNanoseconds() { return lastHoldNanoseconds; }

#ifdef VARNET_BENCH_PROBES
int64_t lastSaveFormattingNanoseconds() { return lastFormattingNs; }
#endif

void saveSession() { save(1, 2000, false, true); }

void saveSessionIfChanged() { save(1, 2000, false, true, true); }

std::string saveSessionAtExit() { return save(200, 30000, true, true); }

void saveSessionAfterCrash() { save(1, 1000, true, false); }

bool loadSession() { return loadSessionFile() == SessionLoad::Loaded; }

SessionLoad loadSessionFile() {
    std::string text;
    if (!readWholeFile(appState().sessionPath, text)) {
        return platform::pathExists(appState().sessionPath) ? SessionLoad::Unreadable
                                                            : SessionLoad::Missing;
    }
    if (text.empty()) return SessionLoad::Empty;
    return loadSessionText(text) ? SessionLoad::Loaded : SessionLoad::Unreadable;
}

bool loadSessionText(const std::string& text) {
    size_t position = 0;
    std::string first;
    if (!nextLine(text, position, first) || !startsWith(first, "SETTINGS:", 9)) return false;
    const int32_t current = readCurrentLine(text, position);
    const std::string extra = readExtraLine(text, position, kSettingsExtraKeyword);
    applySettingsLine(withTyperLine(joinSettingsText(first.substr(9), extra),
                                    readExtraLine(text, position, kTyperKeyword)));
    std::vector<Profile> loaded = readProfiles(text, position);
    if (loaded.empty()) return false;
    installProfiles(std::move(loaded), current);
    markFileCurrent();
    return true;
}
