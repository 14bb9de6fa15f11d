#include "Messages.h"

#include <algorithm>
#include <deque>

#include "Application.h"

namespace {

// Windows keeps one queue per thread; so do we, which keeps a stray thread from
// ever touching the user-interface queue.
thread_local std::deque<TMessage> queue;

} // namespace

bool PostMessageA(HWND handle, std::uint32_t msg, WPARAM wParam, LPARAM lParam) {
  if (Application == nullptr || Application->FindForm(handle) == nullptr)
    return false;
  queue.push_back(TMessage{handle, msg, wParam, lParam, 0});
  return true;
}

void PostQuitMessage(int exitCode) {
  queue.push_back(TMessage{0, WM_QUIT, static_cast<WPARAM>(exitCode), 0, 0});
}

bool TakeMessage(TMessage& message) {
  if (queue.empty())
    return false;
  message = queue.front();
  queue.pop_front();
  return true;
}

bool HasPendingMessage() {
  return !queue.empty();
}

void DiscardMessagesFor(HWND handle) {
  std::erase_if(queue, [handle](const TMessage& m) { return m.Handle == handle; });
}

void DiscardInputMessages() {
  std::erase_if(queue, [](const TMessage& m) {
    return IsKeyboardMessage(m.Msg) || (m.Msg >= WM_LBUTTONDOWN && m.Msg <= WM_MBUTTONDBLCLK);
  });
}
