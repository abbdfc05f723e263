// lvx search: one search through the search thread, exactly as the main window runs it. The
// request is built in the main window's filter order, the thread's notifications arrive at a sink
// that acknowledges the hand-over as the main window does, and the status line is the main window's.
#include "cli/search_command.h"

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
        // The value holds the total only saturated on a 32-bit build; the engine keeps it whole.
        case NotifyTotalSize: total_ = engine_->PostedTotalSizeKB(); break;
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
  uint64_t Total() { std::lock_guard<std::mutex> hold(mutex_); return total_; }
  uint32_t ElapsedMs() { std::lock_guard<std::mutex> hold(mutex_); return elapsedMs_; }
  uint32_t Warning() { std::lock_guard<std::mutex> hold(mutex_); return warning_; }

 private:
  SearchEngine* engine_ = nullptr;
  os::Event done_{true, false};
  std::mutex mutex_;
  uint32_t shown_ = 0;             // guarded by mutex_
  SearchResult* array_ = nullptr;  // guarded by mutex_
  uint64_t total_ = 0;             // guarded by mutex_
  uint32_t elapsedMs_ = 0;         // guarded by mutex_
  uint32_t warning_ = 0;           // guarded by mutex_
};

// A local calendar day's first or last millisecond as a FILETIME in UTC, as the date pickers of the
// size/date page give them.
bool ParseDay(const std::string& text, bool endOfDay, os::FileTime* time) {
  if (text.size() != 10 || text[4] != '-' || text[7] != '-') return false;
  for (size_t i : {0, 1, 2, 3, 5, 6, 8, 9})
    if (text[i] < '0' || text[i] > '9') return false;
  auto field = [&text](size_t at, size_t digits) {
    uint64_t value = 0;
    ReadDecimal(U16(text.substr(at, digits)), &value);
    return int(value);
  };
  const int year = field(0, 4), month = field(5, 2), day = field(8, 2);
  // An impossible day (February 30) is refused, not moved to a real one.
  return os::LocalDayToUtc(year, month, day, endOfDay, time);
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

// What the command line asks for.
struct SearchOptions {
  std::string cachePath, pattern, location, format;
  bool files = false, folders = false, noSubdirs = false, flip = false, countOnly = false;
  bool useMin = false, useMax = false, useFrom = false, useTo = false;
  bool maskGiven = false, sortGiven = false, formatGiven = false;
  uint32_t minSizeKB = 0, maxSizeKB = 0, mask = 0;
  os::FileTime from, to;
  SortKey sortKey = SortUnsorted;
};

// Reads the options; false (with the message printed) on a usage error.
bool ParseSearchOptions(const Args& args, SearchOptions* o) {
  std::vector<std::string> positional;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    const bool hasValue = i + 1 < args.size();
    const char* error = nullptr;
    // The value's check: false, with the message kept for the end of this step, when it fails.
    auto check = [&error](bool ok, const char* message) {
      if (!ok) error = message;
      return ok;
    };
    if (a == "--location" && hasValue) {
      o->location = args[++i];
    } else if (a == "--files") {
      o->files = true;
    } else if (a == "--folders") {
      o->folders = true;
    } else if (a == "--no-subdirs") {
      o->noSubdirs = true;
    } else if (a == "--min-kb" && hasValue) {
      o->useMin = check(ParseNumber(args[++i], &o->minSizeKB), "--min-kb takes a number of KB");
    } else if (a == "--max-kb" && hasValue) {
      o->useMax = check(ParseNumber(args[++i], &o->maxSizeKB), "--max-kb takes a number of KB");
    } else if (a == "--from" && hasValue) {
      o->useFrom = check(ParseDay(args[++i], false, &o->from), "--from takes a day as YYYY-MM-DD");
    } else if (a == "--to" && hasValue) {
      o->useTo = check(ParseDay(args[++i], true, &o->to), "--to takes a day as YYYY-MM-DD");
    } else if (a == "--drives" && hasValue) {
      o->maskGiven = check(ParseDriveMask(args[++i], &o->mask),
                           "--drives takes a hexadecimal mask such as 0x4 (drive C)");
    } else if (a == "--sort" && hasValue) {
      o->sortGiven = check(ParseSortKey(args[++i], &o->sortKey),
                           "--sort takes name, location, size, type or date");
    } else if (a == "--flip") {
      o->flip = true;
    } else if (a == "--format" && hasValue) {
      o->format = args[++i];
      o->formatGiven = true;
    } else if (a == "--count") {
      o->countOnly = true;
    } else if (a.size() > 2 && a.rfind("--", 0) == 0) {
      PrintError("unexpected argument '" + a + "'");
      return false;
    } else {
      positional.push_back(a);
    }
    if (error) {
      PrintError(error);
      return false;
    }
  }
  if (positional.size() != 2) {
    PrintError("search needs the cache file and the pattern (\"\" for an empty pattern)");
    return false;
  }
  if (o->files && o->folders) {
    PrintError("--files and --folders exclude each other");
    return false;
  }
  if (o->flip && !o->sortGiven) {
    PrintError("--flip turns the order of --sort round");
    return false;
  }
  o->cachePath = positional[0];
  o->pattern = positional[1];
  return true;
}

// The request as the main window builds it: name, no subdirectories, files or folders, the bounds.
SearchRequest BuildRequest(const SearchOptions& o) {
  SearchRequest request;
  auto add = [&request](FilterCode code) { request.filterCodes[request.filterCount++] = code; };
  add(NameMatches);
  if (o.noSubdirs) add(TopLevelOnly);
  if (o.files) add(FilesOnly);
  if (o.folders) add(FoldersOnly);
  if (o.useMin) add(MinSize);
  if (o.useMax) add(MaxSize);
  if (o.useFrom) add(ModifiedFrom);
  if (o.useTo) add(ModifiedTo);
  request.minSizeKB = o.minSizeKB;
  request.maxSizeKB = o.maxSizeKB;
  request.modifiedFrom = o.from;
  request.modifiedTo = o.to;
  request.pattern = U16(o.pattern);
  request.location = U16(o.location);
  request.driveMask = o.mask;
  request.refine = 0;
  return request;
}

// The main window's status line after a search.
std::u16string StatusText(CliSink& sink) {
  switch (sink.Warning()) {
    case NotifyRefineNoMemory: return kRefineWarning;
    case NotifySearchNoMemory: return kSearchWarning;
    case NotifyBadLocation: return kLocationWarning;
    default:
      return Format("%s items found (%sKB), in %.2fs", U8(FormatThousands(sink.Shown())).c_str(),
                    U8(FormatThousands(sink.Total())).c_str(), sink.ElapsedMs() * 0.001);
  }
}

// The hits in the order asked for, one line each, or only their count.
void PrintHits(const SearchOptions& o, SearchResult* results, uint32_t count, std::FILE* out) {
  if (o.sortGiven) {
    bool direction = FirstDirection(o.sortKey) != 0;
    SortResultArray(results, count, o.sortKey, o.flip ? !direction : direction);
  }
  if (o.countOnly) {
    std::fprintf(out, "%u\n", count);
  } else {
    const std::u16string format = U16(o.format);
    for (uint32_t i = 0; i < count; ++i) {
      std::u16string line = o.formatGiven ? FormatHit(format, results[i])
                                          : std::u16string(results[i].path) + results[i].name;
      std::fprintf(out, "%s\n", U8(line).c_str());
    }
  }
  std::fflush(out);
}

}  // namespace

int RunSearchCommand(const Args& args) { return RunSearchCommand(args, stdout, stderr); }

int RunSearchCommand(const Args& args, std::FILE* out, std::FILE* err) {
  SearchOptions options;
  if (!ParseSearchOptions(args, &options)) return kExitUsage;
  const std::u16string cachePath = U16(options.cachePath);
  WarnIfBusy(cachePath);
  if (!options.maskGiven && !CachedDrives(cachePath, &options.mask))
    return kExitFailed;  // the message is shown

  cache::CacheContext context;
  context.SetPath(cachePath);
  CliSink sink;
  SearchEngine engine(context, &sink);
  sink.Attach(&engine);
  if (!engine.StartSearchThread()) {
    PrintError("the search thread could not be started");
    return kExitFailed;
  }
  engine.SubmitRequest(BuildRequest(options));
  engine.SignalRequest();
  sink.Wait();
  engine.StopSearchThread();

  std::fprintf(err, "%s\n", U8(StatusText(sink)).c_str());
  std::fflush(err);
  SearchResult* results = sink.Array();
  PrintHits(options, results, results ? sink.Shown() : 0, out);
  const uint32_t warning = sink.Warning();
  return (warning == NotifyRefineNoMemory || warning == NotifySearchNoMemory) ? kExitFailed : kExitOk;
}

}  // namespace lvx::cli
