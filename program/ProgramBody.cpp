#include "ProgramBody.h"

#include "Application.h"
#include "UnitForm.h"

void ProgramBody() {
  Application->Initialize();
  Application->SetTitle("ポルミナ");
  Application->CreateForm(FormMain);
  Application->Run();
}
