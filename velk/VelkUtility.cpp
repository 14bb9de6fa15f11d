#include "VelkUtility.h"

#include "Application.h"

void ShowNotice(const std::string& text) {
  Application->MessageBox(text, Application->Title(), MB_OK);
}
