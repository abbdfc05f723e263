#include "platform/message.h"

#include <algorithm>
#include <cstdio>
#include <mutex>
#include <vector>

#include "platform/text.h"

namespace lvx::os {
namespace {

std::mutex gSinkMutex;
MessageSink gSink;  // guarded by gSinkMutex; empty = default (stderr)

thread_local int tQuietDepth = 0;
thread_local int tDeferDepth = 0;
thread_local std::vector<String>* tDeferred = nullptr;  // this thread's held-back boxes

void ShowNow(const String& text) {
  std::unique_lock<std::mutex> hold(gSinkMutex);
  MessageSink sink = gSink;
  hold.unlock();
  if (sink) return sink(text);
  std::fprintf(stderr, "%s\n", U8(text).c_str());  // the default sink
  std::fflush(stderr);
}

void Show(const String& text) {
  if (tQuietDepth > 0) return;
  if (tDeferDepth > 0) {
    if (tDeferred == nullptr) tDeferred = new std::vector<String>();
    tDeferred->push_back(text);
    return;
  }
  ShowNow(text);
}

}  // namespace

Error ErrorOf(uint32_t code) {
  for (size_t i = 0; i < kErrorCodeCount; ++i)
    if (kErrorCodes[i].code == code) return kErrorCodes[i].error;
  return Error::IoError;
}

uint32_t CodeOf(Error error) {
  size_t i = 0;
  while (i + 1 < kErrorCodeCount && kErrorCodes[i].error != error) ++i;
  return kErrorCodes[i].code;
}

MessageSink SetMessageSink(MessageSink sink) {
  std::lock_guard<std::mutex> hold(gSinkMutex);
  MessageSink old = std::move(gSink);
  gSink = std::move(sink);
  return old;
}

DeferredMessages::DeferredMessages() { ++tDeferDepth; }
DeferredMessages::~DeferredMessages() { if (--tDeferDepth == 0) FlushDeferredMessages(); }

void FlushDeferredMessages() {
  std::vector<String>* held = tDeferred;
  tDeferred = nullptr;
  if (held == nullptr) return;
  for (const String& text : *held) ShowNow(text);
  delete held;
}

QuietMessages::QuietMessages() { ++tQuietDepth; }
QuietMessages::~QuietMessages() { --tQuietDepth; }

void ErrorBox(const String& text) { Show(text); }

static String Headline(uint32_t code, const String& where) {
  String system = SystemErrorText(code);
  if (system.empty()) return system;
  return Format("ErrorCode = %lu, ", static_cast<unsigned long>(code)) + system + u"\r\n" + where;
}

void SystemErrorBox(uint32_t code, const String& where) {
  if (String text = Headline(code, where); !text.empty()) Show(text);
}

void MemoryErrorBox(uint32_t code, uint32_t requestSize, const String& where) {
  String text = Headline(code, where);
  if (text.empty()) return;
  Show(text + Format("\r\nRequestSize = \t%lu Bytes\r\nMaxFreeBlock = \t%lu Bytes\r\n",
                     static_cast<unsigned long>(requestSize),
                     static_cast<unsigned long>(std::min<uint64_t>(LargestFreeBlock(), 0xFFFFFFFFu))) +
       MemoryText(GetMemoryFacts()));
}

String MemoryText(const MemoryFacts& f) {
  // The texts carry 32-bit numbers, as GlobalMemoryStatus reports them: larger values show the cap.
  auto ul = [](uint64_t v) { return static_cast<unsigned long>(v > 0xFFFFFFFFu ? 0xFFFFFFFFu : v); };
  return Format("Memory :\t%lu Bytes / %lu Bytes\r\nPageFile :\t%lu Bytes / %lu Bytes\r\n"
                "VirtualMemory :\t%lu Bytes / %lu Bytes\r\n",
                ul(f.availPhys), ul(f.totalPhys), ul(f.availPageFile), ul(f.totalPageFile), ul(f.availVirtual),
                ul(f.totalVirtual));
}

}  // namespace lvx::os
