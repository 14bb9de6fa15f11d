// The application object: message loop, forms, boxes and error reporting.
#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Backend.h"
#include "Forms.h"

// MessageBox styles.
constexpr std::uint32_t MB_OK = 0x00000000;
constexpr std::uint32_t MB_ICONSTOP = 0x00000010;
constexpr int IDOK = 1;

class TApplication : public TObject {
public:
  TApplication();
  ~TApplication() override;

  // Prepares the application; nothing else needs doing on this platform.
  void Initialize();
  const std::string& Title() const { return title_; }
  // Names the application: taskbar entry and caption of its boxes.
  void SetTitle(const std::string& title) { title_ = title; }

  // Makes a form of type T owned by the application and sets `reference` to it; the first form
  // made becomes the main form. If the constructor fails, `reference` is left null.
  template <class T> void CreateForm(T*& reference) {
    reference = nullptr;
    auto form = std::make_unique<T>(*this);
    reference = form.get();
    AdoptForm(std::move(form));
  }

  // Shows the main form and runs the message loop until Terminate is requested.
  void Run();
  // Handles every pending message and returns.
  void ProcessMessages();
  // Asks the message loop to end: posts WM_QUIT.
  void Terminate();
  // True once message processing has taken WM_QUIT.
  bool Terminated() const { return terminated_; }
  // Shows a modal box and returns IDOK when it is closed; input queued meanwhile is dropped.
  int MessageBox(const std::string& text, const std::string& caption, std::uint32_t flags);
  // Reports an error that escaped a message handler: its text under the title, stop icon.
  void HandleException(const std::exception& error);

  TForm* MainForm() const { return mainForm_; }
  // The live form with that handle, or null.
  TForm* FindForm(HWND handle) const;
  // Destroys every form, the main form last.
  void DestroyForms();
  // How the main form is first shown (the state the process was started in).
  void SetInitialShowState(TShowState state) { initialShowState_ = state; }

  // Registers a form's handle so messages reach it.
  HWND RegisterForm(TForm& form);
  // Forgets a form's handle; queued messages for it are dropped.
  void UnregisterForm(HWND handle);

private:
  void AdoptForm(std::unique_ptr<TForm> form);
  void DispatchOne(TMessage& message);

  std::string title_;
  bool terminated_ = false;
  TForm* mainForm_ = nullptr;
  std::vector<std::unique_ptr<TForm>> forms_;
  std::vector<std::pair<HWND, TForm*>> handles_;
  HWND nextHandle_ = 1;
  TShowState initialShowState_ = TShowState::Normal;
};

// The one application object while a program runs (null otherwise).
extern TApplication* Application;

// Runs a program: makes the backend and the application, runs `body`, and destroys the forms.
// A backend that cannot start prints its reason to stderr; an error escaping `body` is shown in
// the unhandled-error box. Returns the exit code: 0 normally, 1 after either failure.
int RunProgram(const std::function<std::unique_ptr<Backend>()>& makeBackend,
               const std::function<void()>& body);
