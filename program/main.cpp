#include "Application.h"
#include "FltkBackend.h"
#include "ProgramBody.h"

int main() {
  return RunProgram(CreateFltkBackend, ProgramBody);
}
