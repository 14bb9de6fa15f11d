// Window messages and the per-thread message queue.
#pragma once

#include <cstdint>

// Identifies a form's native window within this process; 0 is no window.
using HWND = std::uint32_t;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;

// Message numbers, as the Windows API numbers them.
constexpr std::uint32_t WM_PAINT = 0x000F;
constexpr std::uint32_t WM_CLOSE = 0x0010;
constexpr std::uint32_t WM_QUIT = 0x0012;
constexpr std::uint32_t WM_KEYDOWN = 0x0100;
constexpr std::uint32_t WM_KEYUP = 0x0101;
constexpr std::uint32_t WM_CHAR = 0x0102;
constexpr std::uint32_t WM_DEADCHAR = 0x0103;
constexpr std::uint32_t WM_SYSKEYDOWN = 0x0104;
constexpr std::uint32_t WM_SYSKEYUP = 0x0105;
constexpr std::uint32_t WM_SYSCHAR = 0x0106;
constexpr std::uint32_t WM_SYSDEADCHAR = 0x0107;
constexpr std::uint32_t WM_KEYLAST = 0x0108;
constexpr std::uint32_t WM_KEYFIRST = WM_KEYDOWN;
constexpr std::uint32_t WM_LBUTTONDOWN = 0x0201;
constexpr std::uint32_t WM_LBUTTONDBLCLK = 0x0203;
constexpr std::uint32_t WM_RBUTTONDOWN = 0x0204;
constexpr std::uint32_t WM_RBUTTONDBLCLK = 0x0206;
constexpr std::uint32_t WM_MBUTTONDOWN = 0x0207;
constexpr std::uint32_t WM_MBUTTONDBLCLK = 0x0209;
constexpr std::uint32_t WM_USER = 0x0400;

// Modifier flags carried in wParam of mouse messages.
constexpr WPARAM MK_LBUTTON = 0x0001;
constexpr WPARAM MK_RBUTTON = 0x0002;
constexpr WPARAM MK_SHIFT = 0x0004;
constexpr WPARAM MK_CONTROL = 0x0008;
constexpr WPARAM MK_MBUTTON = 0x0010;
// Not a Windows flag: Alt is reported in wParam of mouse messages as well.
constexpr WPARAM MK_ALT = 0x0100;

// Virtual-key codes used by the layer.
constexpr WPARAM VK_MENU = 18; // Alt
constexpr WPARAM VK_F10 = 121;

// Packs a client position into lParam as mouse messages carry it.
constexpr LPARAM MakeMouseLParam(std::int32_t x, std::int32_t y) {
  return static_cast<LPARAM>((static_cast<std::uint32_t>(y & 0xFFFF) << 16) |
                             static_cast<std::uint32_t>(x & 0xFFFF));
}
// Signed x of a mouse message's lParam.
constexpr std::int32_t MouseX(LPARAM lParam) {
  return static_cast<std::int16_t>(lParam & 0xFFFF);
}
// Signed y of a mouse message's lParam.
constexpr std::int32_t MouseY(LPARAM lParam) {
  return static_cast<std::int16_t>((lParam >> 16) & 0xFFFF);
}

// True for the keyboard messages 256 to 264.
constexpr bool IsKeyboardMessage(std::uint32_t msg) {
  return msg >= WM_KEYFIRST && msg <= WM_KEYLAST;
}

struct TMessage {
  HWND Handle = 0;
  std::uint32_t Msg = 0;
  WPARAM WParam = 0;
  LPARAM LParam = 0;
  LRESULT Result = 0;
};

// Appends a message to this thread's queue; false when `handle` names no live window.
bool PostMessageA(HWND handle, std::uint32_t msg, WPARAM wParam, LPARAM lParam);
// Appends WM_QUIT (with no window) to this thread's queue.
void PostQuitMessage(int exitCode);
// Takes the oldest message of this thread's queue; false when it is empty.
bool TakeMessage(TMessage& message);
// True when this thread's queue holds a message.
bool HasPendingMessage();
// Drops every queued mouse-button and keyboard message.
void DiscardInputMessages();
// Drops every queued message addressed to `handle`.
void DiscardMessagesFor(HWND handle);
