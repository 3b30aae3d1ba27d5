// An sshd of the test's own on 127.0.0.1: a free port, throwaway host and
// user keys in a temporary directory, the current user let in by key. The
// machine's own SSH set-up is left alone.
#pragma once

#include <memory>
#include <string>

#include "tests/shell/run_program.h"
#include "tests/shell/test_files.h"

class CTestSshd {
public:
    CTestSshd();
    ~CTestSshd();
    CTestSshd(const CTestSshd&) = delete;
    CTestSshd& operator=(const CTestSshd&) = delete;

    // Why it does not run (sshd not installed, ...), or empty when it does.
    const std::string& Problem() const { return m_problem; }
    // The ssh command that reaches it by the host name 127.0.0.1.
    std::string SshCommand() const { return "ssh -F " + m_dir / "ssh_config"; }

private:
    bool Start();

    CTempDir m_dir;
    std::string m_problem;
    std::unique_ptr<CRunningProgram> m_sshd;
    bool m_madePrivilegeDir = false;
};

// A port on 127.0.0.1 where nothing listens, at least for a moment.
int FreeLocalPort();
