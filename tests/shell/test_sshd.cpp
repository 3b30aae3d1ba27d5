#include "tests/shell/test_sshd.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <thread>
#include <vector>

namespace {

constexpr const char* kSshd = "/usr/sbin/sshd";
// Where Debian's sshd, run as root, insists on an empty directory of its own.
constexpr const char* kPrivilegeDir = "/run/sshd";

sockaddr_in LocalAddress(int port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

bool Listening(int port) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) return false;
    const sockaddr_in address = LocalAddress(port);
    const bool connected = connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0;
    close(fd);
    return connected;
}

std::string UserName() {
    const passwd* user = getpwuid(geteuid());
    return user ? user->pw_name : "";
}

}  // namespace

int FreeLocalPort() {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) return -1;
    sockaddr_in address = LocalAddress(0);
    socklen_t size = sizeof(address);
    int port = -1;
    if (bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0 &&
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) == 0) {
        port = ntohs(address.sin_port);
    }
    close(fd);
    return port;
}

CTestSshd::CTestSshd() {
    if (access(kSshd, X_OK) != 0) {
        m_problem = std::string(kSshd) + " is not installed (Debian package openssh-server)";
        return;
    }
    // The port may be taken between the look and sshd's bind: try again.
    for (int tries = 0; tries < 3 && !Start(); ++tries) {
    }
}

bool CTestSshd::Start() {
    m_sshd.reset();
    const int port = FreeLocalPort();
    for (const char* key : {"host_key", "user_key"}) {
        std::filesystem::remove(m_dir / key);
        std::filesystem::remove(m_dir / (std::string(key) + ".pub"));
        const SProgramRun made =
            CRunningProgram("ssh-keygen", m_dir.Path(), {"-q", "-t", "ed25519", "-N", "", "-f", m_dir / key}).Wait();
        if (made.status != 0) {
            m_problem = "ssh-keygen failed: " + made.err;
            return false;
        }
    }
    std::filesystem::copy_file(m_dir / "user_key.pub", m_dir / "authorized_keys",
                               std::filesystem::copy_options::overwrite_existing);
    // The keys live in /tmp, which StrictModes would refuse.
    WriteFile(m_dir / "sshd_config", "Port " + std::to_string(port) +
                                         "\nListenAddress 127.0.0.1\nHostKey " + m_dir / "host_key" +
                                         "\nPidFile " + m_dir / "sshd.pid" + "\nAuthorizedKeysFile " +
                                         m_dir / "authorized_keys" +
                                         "\nStrictModes no\nPasswordAuthentication no\n"
                                         "KbdInteractiveAuthentication no\nUsePAM no\n"
                                         "PermitRootLogin prohibit-password\n");
    WriteFile(m_dir / "ssh_config", "Host *\n  Port " + std::to_string(port) + "\n  User " + UserName() +
                                        "\n  IdentityFile " + m_dir / "user_key" +
                                        "\n  IdentitiesOnly yes\n  StrictHostKeyChecking no\n"
                                        "  UserKnownHostsFile /dev/null\n  BatchMode yes\n  LogLevel ERROR\n");
    if (geteuid() == 0 && !std::filesystem::exists(kPrivilegeDir)) {
        std::filesystem::create_directories(kPrivilegeDir);
        m_madePrivilegeDir = true;
    }
    m_sshd = std::make_unique<CRunningProgram>(kSshd, m_dir.Path(),
                                               std::vector<std::string>{"-f", m_dir / "sshd_config", "-D", "-e"});
    for (int i = 0; i < 500; ++i) {
        if (Listening(port)) {
            m_problem.clear();
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    m_sshd->Signal(SIGKILL);
    m_problem = "sshd did not start listening on port " + std::to_string(port) + ": " + m_sshd->Wait().err;
    m_sshd.reset();
    return false;
}

CTestSshd::~CTestSshd() {
    m_sshd.reset();
    if (m_madePrivilegeDir) {
        std::error_code ignored;
        std::filesystem::remove(kPrivilegeDir, ignored);
    }
}
