// A registrar object over a scratch registry, for the tests that feed it scripts.
#pragma once

#include <gtest/gtest.h>

#include "ole/com_ptr.h"
#include "ole2.h"
#include "registrar.h"
#include "support.h"

namespace oletest {

class RegistrarFixture : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(CoInitialize(nullptr), S_OK);
    ASSERT_EQ(CoCreateInstance(CLSID_Registrar, nullptr, CLSCTX_INPROC_SERVER, IID_IRegistrar,
                               registrar_.put_void()),
              S_OK);
  }
  void TearDown() override {
    registrar_.reset();
    CoUninitialize();
  }
  ScratchRegistry scratch_;
  ole::ComPtr<IRegistrar> registrar_;
};

}  // namespace oletest
