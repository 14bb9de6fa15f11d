// A headless platform for one test: backend, application object, default random source.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "Application.h"
#include "HeadlessBackend.h"

class PlatformFixture : public ::testing::Test {
protected:
  void SetUp() override {
    backend = &InstallHeadlessBackend();
    application = std::make_unique<TApplication>();
    Application = application.get();
    SetRandomSource(nullptr);
    TMessage leftover;
    while (TakeMessage(leftover)) {
    }
  }
  void TearDown() override {
    application.reset();
    Application = nullptr;
    SetRandomSource(nullptr);
    SetBackend(nullptr);
  }

  HeadlessBackend* backend = nullptr;
  std::unique_ptr<TApplication> application;
};
