// The dialog on the test host against the demo bank server, over the real internet layer of a
// sandbox that trusts the server's authority, with NESTORA_BANK_HOST pointing at the server.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <memory>

#include "dialog/nestora_dlg.h"
#include "tests/support/bank_server.h"
#include "tests/support/temp_sandbox.h"
#include "tests/support/test_host.h"

namespace nestora_test {

class DialogServerTest : public WithBankServer<> {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(WithBankServer::SetUp());
        ::setenv("NESTORA_BANK_HOST", server_->HttpsHost().c_str(), 1);
        ASSERT_TRUE(TrustDemoAuthority(*server_, sandbox_.Context()));
    }
    void TearDown() override {
        dialog_.reset();
        ::unsetenv("NESTORA_BANK_HOST");
    }

    // Starts the dialog and waits until the configuration thread has ended.
    void StartAndFetch() {
        dialog_ = std::make_unique<nestora::CNestoraDlg>(host_, sandbox_.Context());
        host_.Attach(*dialog_);
        dialog_->OnInitDialog();
        ASSERT_TRUE(host_.WaitFor([this] { return dialog_->RunningWorkers() == 0; },
                                  std::chrono::seconds(60)));
    }

    TempSandbox sandbox_;
    TestHost host_;
    std::unique_ptr<nestora::CNestoraDlg> dialog_;
};

}  // namespace nestora_test
