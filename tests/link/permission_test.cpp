// A port that exists but that this user may not open: the communication
// dialog says so and names the group that owns the device, rather than
// calling the port occupied. Root may open anything, so as root the checks
// run again in this program started as another user.
#include "link_fixture.h"

#include <cstring>
#include <grp.h>
#include <pty.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace linktest;

extern char **environ;

namespace {

const char *const DEVICE_VARIABLE = "VELORINDER_DENIED_DEVICE";
const char *const GROUP_VARIABLE = "VELORINDER_DENIED_GROUP";

class PortPermission : public LinkTest {
  protected:
    void CheckAsDeniedUser(const std::string &device, const std::string &group) {
        std::filesystem::remove(ComPath(3));
        std::filesystem::create_symlink(device, ComPath(3));
        const std::string com3 = "COM3 (" + device + ")";

        int panel = OpenDialog();
        ASSERT_GT(panel, 0);
        std::string list;
        GetCtrlVal(panel, COMM_TEXT, &list);
        EXPECT_NE(list.find("COM3 = " + device + " (no access: group " + group + ")"),
                  std::string::npos)
            << list;
        Click(panel, COMM_QUIT);

        Expect("Error n° -119");
        TestPortFromDialog(3);
        EXPECT_EQ(LastPopup().text, "Serial port " + com3 +
                                        " exists, but you are not allowed to open it.\n"
                                        "Add your account to the group \"" +
                                        group +
                                        "\" that owns the port:\n"
                                        "    sudo adduser $USER " +
                                        group + "\nthen log out and log in again.");

        // A search that finds nothing points at the port it could not open.
        Expect("Error n° -129");
        panel = OpenDialog();
        ASSERT_GT(panel, 0);
        Click(panel, COMM_SEARCH);
        EXPECT_EQ(
            LastPopup().text.rfind("No response from the instrument\n\nSerial port " + com3, 0), 0u)
            << LastPopup().text;

        language = 2;
        Expect("Fehler n° -119");
        TestPortFromDialog(3);
        EXPECT_NE(LastPopup().text.find("der Gruppe „" + group + "“ hinzu"), std::string::npos)
            << LastPopup().text;
        EXPECT_EQ(comPort, 1) << "only a found instrument changes the port";

        // An import on that port explains it the same way.
        language = 1;
        comPort = 3;
        Expect("Error n° -119");
        EXPECT_EQ(OpenTransferLink(), -1);
        EXPECT_NE(LastPopup().text.find("sudo adduser $USER " + group), std::string::npos)
            << LastPopup().text;
    }
};

TEST_F(PortPermission, DeniedPortNamesTheGroupThatOwnsIt) {
    if (const char *device = std::getenv(DEVICE_VARIABLE)) {
        // This run is the other user's.
        const char *group = std::getenv(GROUP_VARIABLE);
        CheckAsDeniedUser(device, group ? group : "");
        return;
    }
    int master = -1, slave = -1;
    char name[256] = {};
    ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
    close(slave);
    if (geteuid() != 0) {
        // A mode without the owner's rights shuts out the owner himself.
        ASSERT_EQ(chmod(name, 0060), 0);
        struct stat st {};
        ASSERT_EQ(stat(name, &st), 0);
        const struct group *g = getgrgid(st.st_gid);
        CheckAsDeniedUser(name, g ? g->gr_name : std::to_string(st.st_gid));
        close(master);
        return;
    }
    // Owned as Debian owns serial devices; the other user is in neither.
    const struct group *dialout = getgrnam("dialout");
    const struct passwd *nobody = getpwnam("nobody");
    ASSERT_NE(dialout, nullptr);
    ASSERT_NE(nobody, nullptr);
    ASSERT_EQ(chown(name, 0, dialout->gr_gid), 0);
    ASSERT_EQ(chmod(name, 0660), 0);
    const std::string group = dialout->gr_name;
    const uid_t uid = nobody->pw_uid;
    const gid_t gid = nobody->pw_gid;

    // Made before the fork: the child only changes user and starts again.
    std::vector<std::string> envText = {std::string(DEVICE_VARIABLE) + "=" + name,
                                        std::string(GROUP_VARIABLE) + "=" + group, "HOME=/tmp"};
    for (char **e = environ; *e; ++e)
        if (std::strncmp(*e, "HOME=", 5) != 0) envText.push_back(*e);
    std::vector<char *> envp;
    for (auto &s : envText)
        envp.push_back(s.data());
    envp.push_back(nullptr);
    std::string filter = "--gtest_filter=PortPermission.DeniedPortNamesTheGroupThatOwnsIt";
    std::string self = "test_link";
    char *argv[] = {self.data(), filter.data(), nullptr};

    pid_t pid = fork();
    if (pid == 0) {
        if (setgroups(0, nullptr) != 0 || setgid(gid) != 0 || setuid(uid) != 0) _exit(125);
        execve("/proc/self/exe", argv, envp.data());
        _exit(126);
    }
    ASSERT_GT(pid, 0);
    int status = 0;
    waitpid(pid, &status, 0);
    close(master);
    ASSERT_TRUE(WIFEXITED(status)) << "status " << status;
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the checks as another user failed (their output above)";
}

} // namespace
