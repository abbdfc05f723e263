#include "results/shell_calls.h"

#include <shellapi.h>

namespace lvx::results {

namespace {

ShellResponder& Responder() {  // used on the UI thread only
  static ShellResponder responder;
  return responder;
}

bool Answered(const ShellCall& call, ShellOutcome* outcome) {
  return Responder() && Responder()(call, outcome);
}

}  // namespace

ShellResponder SetShellResponder(ShellResponder responder) {
  std::swap(Responder(), responder);
  return responder;
}

ShellOutcome ShellExecuteCall(HWND owner, std::wstring_view verb, std::wstring_view file,
                              std::wstring_view parameters, int show) {
  ShellCall call;
  call.kind = ShellCall::Execute;
  call.owner = owner;
  call.verb = verb;
  call.file = file;
  call.parameters = parameters;
  call.show = show;
  ShellOutcome outcome = ShellOutcome::Done;
  if (Answered(call, &outcome)) return outcome;
  SHELLEXECUTEINFOW info = {};
  info.cbSize = sizeof(info);
  info.fMask = SEE_MASK_NOASYNC;
  info.hwnd = owner;
  info.lpVerb = call.verb.empty() ? nullptr : call.verb.c_str();
  info.lpFile = call.file.c_str();
  info.lpParameters = call.parameters.empty() ? nullptr : call.parameters.c_str();
  info.nShow = show;
  return ::ShellExecuteExW(&info) ? ShellOutcome::Done : ShellOutcome::Failed;
}

ShellOutcome StartProgramIn(std::wstring_view program, std::wstring_view commandLine, std::wstring_view directory) {
  ShellCall call;
  call.kind = ShellCall::Process;
  call.file = program;
  call.parameters = commandLine;
  call.directory = directory;
  ShellOutcome outcome = ShellOutcome::Done;
  if (Answered(call, &outcome)) return outcome;
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_SHOWNORMAL;
  PROCESS_INFORMATION process = {};
  std::wstring line = call.parameters;  // CreateProcessW may write into it
  if (!::CreateProcessW(call.file.c_str(), line.data(), nullptr, nullptr, FALSE, CREATE_NEW_CONSOLE, nullptr,
                        call.directory.empty() ? nullptr : call.directory.c_str(), &startup, &process)) {
    return ShellOutcome::Failed;
  }
  ::CloseHandle(process.hThread);
  ::CloseHandle(process.hProcess);
  return ShellOutcome::Done;
}

ShellOutcome ShellDelete(HWND owner, const std::wstring& fileList, UINT flags) {
  ShellCall call;
  call.kind = ShellCall::Delete;
  call.owner = owner;
  call.fileList = fileList;
  call.flags = flags;
  ShellOutcome outcome = ShellOutcome::Done;
  if (Answered(call, &outcome)) return outcome;
  std::wstring from = fileList;
  from.push_back(L'\0');  // the double NUL even when the list lost its last one
  SHFILEOPSTRUCTW op = {};
  op.hwnd = owner;
  op.wFunc = FO_DELETE;
  op.pFrom = from.c_str();
  op.fFlags = FILEOP_FLAGS(flags);
  const int error = ::SHFileOperationW(&op);
  if (error != 0) return ShellOutcome::Failed;
  return op.fAnyOperationsAborted ? ShellOutcome::Cancelled : ShellOutcome::Done;
}

std::wstring SystemProgram(std::wstring_view name) {
  wchar_t folder[MAX_PATH] = {};
  const UINT length = ::GetSystemDirectoryW(folder, MAX_PATH);
  std::wstring path = length > 0 && length < MAX_PATH ? std::wstring(folder, length) : std::wstring(L"C:\\Windows\\System32");
  if (path.back() != L'\\') path.push_back(L'\\');
  return path.append(name);
}

}  // namespace lvx::results
