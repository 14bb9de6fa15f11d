#include "Application.h"

#include <algorithm>
#include <cstdio>

#include "Errors.h"

TApplication* Application = nullptr;

TApplication::TApplication() = default;

TApplication::~TApplication() {
  DestroyForms();
}

void TApplication::Initialize() {}

void TApplication::AdoptForm(std::unique_ptr<TForm> form) {
  if (mainForm_ == nullptr)
    mainForm_ = form.get();
  forms_.push_back(std::move(form));
}

HWND TApplication::RegisterForm(TForm& form) {
  const HWND handle = nextHandle_++;
  handles_.emplace_back(handle, &form);
  return handle;
}

void TApplication::UnregisterForm(HWND handle) {
  std::erase_if(handles_, [handle](const auto& entry) { return entry.first == handle; });
  DiscardMessagesFor(handle);
}

TForm* TApplication::FindForm(HWND handle) const {
  for (const auto& [h, form] : handles_)
    if (h == handle)
      return form;
  return nullptr;
}

void TApplication::DestroyForms() {
  // The main form goes last, as it was made first.
  while (!forms_.empty()) {
    auto form = std::move(forms_.back());
    forms_.pop_back();
    if (form.get() == mainForm_)
      mainForm_ = nullptr;
    form.reset();
  }
}

void TApplication::Run() {
  if (mainForm_ != nullptr)
    mainForm_->Show(initialShowState_);
  while (!terminated_) {
    ProcessMessages();
    if (terminated_)
      break;
    if (!HasPendingMessage())
      CurrentBackend().WaitEvents();
  }
}

void TApplication::ProcessMessages() {
  CurrentBackend().PumpEvents();
  TMessage message;
  while (TakeMessage(message)) {
    if (message.Msg == WM_QUIT) {
      terminated_ = true;
      continue;
    }
    DispatchOne(message);
  }
}

void TApplication::DispatchOne(TMessage& message) {
  TForm* form = FindForm(message.Handle);
  if (form == nullptr)
    return;
  try {
    form->Dispatch(message);
  } catch (const std::exception& error) {
    HandleException(error);
  }
}

void TApplication::Terminate() {
  PostQuitMessage(0);
}

int TApplication::MessageBox(const std::string& text, const std::string& caption,
                             std::uint32_t flags) {
  const TBoxIcon icon = (flags & MB_ICONSTOP) != 0 ? TBoxIcon::Stop : TBoxIcon::None;
  CurrentBackend().ShowMessageBox(text, caption, icon);
  // While a modal box is open the program's windows take no input. Presses that were already
  // queued for them belong to that time too: without this, the clicks queued behind the one that
  // ended the game would each show the end message again.
  DiscardInputMessages();
  return IDOK;
}

void TApplication::HandleException(const std::exception& error) {
  MessageBox(error.what(), title_, MB_OK | MB_ICONSTOP);
}

int RunProgram(const std::function<std::unique_ptr<Backend>()>& makeBackend,
               const std::function<void()>& body) {
  try {
    SetBackend(makeBackend());
  } catch (const std::exception& error) {
    std::fprintf(stderr, "%s\n", error.what());
    return 1;
  }
  auto application = std::make_unique<TApplication>();
  Application = application.get();
  int exitCode = 0;
  try {
    body();
    application->DestroyForms();
  } catch (const std::exception& error) {
    // Nothing in the program caught it: report it the way an unhandled error is reported.
    application->DestroyForms();
    CurrentBackend().ShowMessageBox(error.what(), application->Title(), TBoxIcon::Stop);
    exitCode = 1;
  }
  application.reset();
  Application = nullptr;
  SetBackend(nullptr);
  return exitCode;
}
