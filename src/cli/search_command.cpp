// lvx search: one search through the search thread, exactly as the main window runs it. The
// request is built in the main window's filter order, the thread's notifications arrive at a sink
// that acknowledges the hand-over as the main window does, and the status line is the main window's.
#include "cli/search_command.h"

#include <cstdlib>
#include <mutex>

#include "cache/cache_context.h"
#include "cache/map_file.h"
#include "platform/local_time.h"
#include "platform/text.h"
#include "platform/thread.h"
#include "search/result_order.h"
#include "search/search_engine.h"

namespace lvx::cli {

using namespace lvx::search;

namespace {

const char16_t kRefineWarning[] = u" [WARNING] : Too many files , not enough memory to process this command !";
const char16_t kSearchWarning[] = u" [WARNING] : Too many files have been found, not enough memory to show all files !";
const char16_t kLocationWarning[] = u" [WARNING] : The search location is invalid!! Default to be My Computer! ";

// What the main window keeps from the notifications of one search.
class CliSink : public cache::INotifySink {
 public:
  void Attach(SearchEngine* engine) { engine_ = engine; }

  void Notify(uint32_t code, intptr_t value) override {
    {
      std::lock_guard<std::mutex> hold(mutex_);
      switch (code) {
        case NotifyState:
          if (value == StateNothingFound) {
            shown_ = 0;
            array_ = nullptr;
          }
          break;
        case NotifyCount: shown_ = uint32_t(value); break;
        case NotifyResults: array_ = reinterpret_cast<SearchResult*>(value); break;
        case NotifyTotalSize: total_ = uint32_t(value); break;
        case NotifyElapsed: elapsedMs_ = uint32_t(value); break;
        default: warning_ = code; break;
      }
    }
    if ((code == NotifyState && value == StateNothingFound) || code == NotifyResults) engine_->Acknowledge();
    if (code == NotifyElapsed || code == NotifyRefineNoMemory || code == NotifySearchNoMemory ||
        code == NotifyBadLocation)
      done_.Set();
  }

  bool Wait() { return done_.Wait(os::kInfinite); }
  // Read once the search has ended.
  uint32_t Shown() { std::lock_guard<std::mutex> hold(mutex_); return shown_; }
  SearchResult* Array() { std::lock_guard<std::mutex> hold(mutex_); return array_; }
  uint32_t Total() { std::lock_guard<std::mutex> hold(mutex_); return total_; }
  uint32_t ElapsedMs() { std::lock_guard<std::mutex> hold(mutex_); return elapsedMs_; }
  uint32_t Warning() { std::lock_guard<std::mutex> hold(mutex_); return warning_; }

 private:
  SearchEngine* engine_ = nullptr;
  os::Event done_{true, false};
  std::mutex mutex_;
  uint32_t shown_ = 0;             // guarded by mutex_
  SearchResult* array_ = nullptr;  // guarded by mutex_
  uint32_t total_ = 0;             // guarded by mutex_
  uint32_t elapsedMs_ = 0;         // guarded by mutex_
  uint32_t warning_ = 0;           // guarded by mutex_
};

bool ParseKB(const std::string& text, uint32_t* value) {
  if (text.empty() || text.size() > 10) return false;
  uint64_t v = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + uint64_t(c - '0');
  }
  if (v > 0xFFFFFFFFu) return false;
  *value = uint32_t(v);
  return true;
}

// A local calendar day's first or last millisecond as a FILETIME in UTC, as the date pickers of the
// size/date page give them.
bool ParseDay(const std::string& text, bool endOfDay, os::FileTime* time) {
  if (text.size() != 10 || text[4] != '-' || text[7] != '-') return false;
  for (size_t i : {0, 1, 2, 3, 5, 6, 8, 9})
    if (text[i] < '0' || text[i] > '9') return false;
  // An impossible day (February 30) is refused, not moved to a real one.
  return os::LocalDayToUtc(std::atoi(text.substr(0, 4).c_str()), std::atoi(text.substr(5, 2).c_str()),
                           std::atoi(text.substr(8, 2).c_str()), endOfDay, time);
}

bool ParseSortKey(const std::string& text, SortKey* key) {
  static const struct {
    const char* name;
    SortKey key;
  } kKeys[] = {{"name", SortName}, {"location", SortLocation}, {"size", SortSize}, {"type", SortType}, {"date", SortDate}};
  for (const auto& k : kKeys)
    if (text == k.name) return (*key = k.key), true;
  return false;
}

// One pass over the format, so that a path holding "[FILENAME]" is not replaced again.
std::u16string FormatHit(const std::u16string& format, const SearchResult& hit) {
  static const std::u16string kDir = u"[FILEDIR]", kName = u"[FILENAME]";
  std::u16string line;
  for (size_t i = 0; i < format.size();) {
    if (format.compare(i, kDir.size(), kDir) == 0) {
      line += hit.path;
      i += kDir.size();
    } else if (format.compare(i, kName.size(), kName) == 0) {
      line += hit.name;
      i += kName.size();
    } else {
      line += format[i++];
    }
  }
  return line;
}

}  // namespace

int RunSearchCommand(const Args& args) { return RunSearchCommand(args, stdout, stderr); }

int RunSearchCommand(const Args& args, std::FILE* out, std::FILE* err) {
  std::vector<std::string> positional;
  std::string location, format;
  bool files = false, folders = false, noSubdirs = false, flip = false, countOnly = false;
  bool useMin = false, useMax = false, useFrom = false, useTo = false, maskGiven = false, sortGiven = false;
  SearchRequest request;
  SortKey sortKey = SortUnsorted;
  uint32_t mask = 0;
  bool formatGiven = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    const bool hasValue = i + 1 < args.size();
    if (a == "--location" && hasValue) {
      location = args[++i];
    } else if (a == "--files") {
      files = true;
    } else if (a == "--folders") {
      folders = true;
    } else if (a == "--no-subdirs") {
      noSubdirs = true;
    } else if (a == "--min-kb" && hasValue) {
      if (!ParseKB(args[++i], &request.minSizeKB)) return PrintError("--min-kb takes a number of KB"), kExitUsage;
      useMin = true;
    } else if (a == "--max-kb" && hasValue) {
      if (!ParseKB(args[++i], &request.maxSizeKB)) return PrintError("--max-kb takes a number of KB"), kExitUsage;
      useMax = true;
    } else if (a == "--from" && hasValue) {
      if (!ParseDay(args[++i], false, &request.modifiedFrom)) return PrintError("--from takes a day as YYYY-MM-DD"), kExitUsage;
      useFrom = true;
    } else if (a == "--to" && hasValue) {
      if (!ParseDay(args[++i], true, &request.modifiedTo)) return PrintError("--to takes a day as YYYY-MM-DD"), kExitUsage;
      useTo = true;
    } else if (a == "--drives" && hasValue) {
      if (!ParseDriveMask(args[++i], &mask)) return PrintError("--drives takes a hexadecimal mask such as 0x4 (drive C)"), kExitUsage;
      maskGiven = true;
    } else if (a == "--sort" && hasValue) {
      if (!ParseSortKey(args[++i], &sortKey)) return PrintError("--sort takes name, location, size, type or date"), kExitUsage;
      sortGiven = true;
    } else if (a == "--flip") {
      flip = true;
    } else if (a == "--format" && hasValue) {
      format = args[++i];
      formatGiven = true;
    } else if (a == "--count") {
      countOnly = true;
    } else if (a.size() > 2 && a.rfind("--", 0) == 0) {
      PrintError("unexpected argument '" + a + "'");
      return kExitUsage;
    } else {
      positional.push_back(a);
    }
  }
  if (positional.size() != 2) {
    PrintError("search needs the cache file and the pattern (\"\" for an empty pattern)");
    return kExitUsage;
  }
  if (files && folders) {
    PrintError("--files and --folders exclude each other");
    return kExitUsage;
  }
  if (flip && !sortGiven) {
    PrintError("--flip turns the order of --sort round");
    return kExitUsage;
  }
  const std::u16string cachePath = U16(positional[0]);
  if (!maskGiven && !CachedDrives(cachePath, &mask)) return kExitFailed;  // the message is shown

  // The filters in the main window's order: name, no subdirectories, files or folders, the bounds.
  auto add = [&request](FilterCode code) { request.filterCodes[request.filterCount++] = code; };
  add(NameMatches);
  if (noSubdirs) add(TopLevelOnly);
  if (files) add(FilesOnly);
  if (folders) add(FoldersOnly);
  if (useMin) add(MinSize);
  if (useMax) add(MaxSize);
  if (useFrom) add(ModifiedFrom);
  if (useTo) add(ModifiedTo);
  request.pattern = U16(positional[1]);
  request.location = U16(location);
  request.driveMask = mask;
  request.refine = 0;

  cache::CacheContext context;
  context.SetPath(cachePath);
  CliSink sink;
  SearchEngine engine(context, &sink);
  sink.Attach(&engine);
  if (!engine.StartSearchThread()) {
    PrintError("the search thread could not be started");
    return kExitFailed;
  }
  engine.SubmitRequest(request);
  engine.SignalRequest();
  sink.Wait();
  engine.StopSearchThread();

  const uint32_t warning = sink.Warning();
  std::u16string status;
  if (warning == NotifyRefineNoMemory)
    status = kRefineWarning;
  else if (warning == NotifySearchNoMemory)
    status = kSearchWarning;
  else if (warning == NotifyBadLocation)
    status = kLocationWarning;
  else
    status = Format("%s items found (%sKB), in %.2fs", U8(FormatThousands(sink.Shown())).c_str(),
                    U8(FormatThousands(sink.Total())).c_str(), sink.ElapsedMs() * 0.001);
  std::fprintf(err, "%s\n", U8(status).c_str());
  std::fflush(err);

  SearchResult* results = sink.Array();
  const uint32_t count = results ? sink.Shown() : 0;
  if (sortGiven) {
    bool direction = FirstDirection(sortKey) != 0;
    SortResultArray(results, count, sortKey, flip ? !direction : direction);
  }
  if (countOnly) {
    std::fprintf(out, "%u\n", count);
  } else {
    const std::u16string fmt = U16(format);
    for (uint32_t i = 0; i < count; ++i) {
      std::u16string line = formatGiven ? FormatHit(fmt, results[i]) : std::u16string(results[i].path) + results[i].name;
      std::fprintf(out, "%s\n", U8(line).c_str());
    }
  }
  std::fflush(out);
  return (warning == NotifyRefineNoMemory || warning == NotifySearchNoMemory) ? kExitFailed : kExitOk;
}

}  // namespace lvx::cli
