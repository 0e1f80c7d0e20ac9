// The passwords the program keeps: in data/secrets.conf, private to its owner, where no Secret
// Service answers; in a real Secret Service when the test runs on a session bus that has one
// (tests/store/secret_service_test.sh starts it).

#include "store/secret_store.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <thread>

#include "store/secret_file.h"
#include "support/temp_data_folder.h"

namespace {

constexpr char kAwkward[] = "p@ss word#1 = 100%\t密码\nline two";

mode_t ModeOf(const std::string& path) {
    struct stat info {};
    EXPECT_EQ(::stat(path.c_str(), &info), 0) << path;
    return info.st_mode & 07777;
}

// Sets the process's file creation mask for one scope.
class Umask {
public:
    explicit Umask(mode_t mask) : m_old(::umask(mask)) {}
    ~Umask() { ::umask(m_old); }

private:
    mode_t m_old;
};

// Sets an environment variable for one scope ("" for unset).
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : m_name(name) {
        if (const char* old = std::getenv(name)) {
            m_old = old;
        }
        value ? ::setenv(name, value, 1) : ::unsetenv(name);
    }
    ~ScopedEnv() { m_old ? ::setenv(m_name, m_old->c_str(), 1) : ::unsetenv(m_name); }

private:
    const char* m_name;
    std::optional<std::string> m_old;
};

}  // namespace

// Whatever the user's umask, the file is private from its first byte, holds the password
// exactly as typed, and nothing is left beside it.
TEST(SecretFile, APasswordKeptInTheFileIsPrivateAndReadBackExactly) {
    TempDataFolder folder;
    CSecretStore store(folder.Path(), CSecretStore::Backends::kFileOnly);
    {
        const Umask open(0);
        const SecretResult saved = store.Save("proxy", "Quillon", kAwkward);
        ASSERT_TRUE(saved.ok) << saved.failure;
        EXPECT_EQ(saved.place, SecretPlace::kFile);
    }
    EXPECT_EQ(store.FilePath(), folder.File("data/secrets.conf"));
    EXPECT_EQ(ModeOf(store.FilePath()), 0600u);
    const std::string text = folder.ReadFile("data/secrets.conf");
    EXPECT_EQ(text.find('\t'), std::string::npos);
    EXPECT_NE(text.find("proxy = "), std::string::npos);

    ASSERT_TRUE(store.Save("sync.account", "Quillon", "second").ok);
    const SecretResult found = store.Lookup("proxy");
    ASSERT_TRUE(found.ok) << found.failure;
    EXPECT_EQ(found.place, SecretPlace::kFile);
    EXPECT_EQ(found.secret, kAwkward);
    EXPECT_FALSE(found.fileWasExposed);
    EXPECT_EQ(store.Lookup("sync.account").secret, "second");

    std::size_t entries = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder.File("data"))) {
        entries += entry.path().filename().string().starts_with("secrets.conf") ? 1 : 0;
    }
    EXPECT_EQ(entries, 1u);
}

// A name that was never saved is simply not found; names and passwords the file could not
// hold faithfully are refused before anything is written.
TEST(SecretFile, UnknownNamesAreNotFoundAndUnfitOnesAreRefused) {
    TempDataFolder folder;
    CSecretStore store(folder.Path(), CSecretStore::Backends::kFileOnly);
    const SecretResult none = store.Lookup("proxy");
    EXPECT_FALSE(none.ok);
    EXPECT_EQ(none.failure, "");
    EXPECT_EQ(none.place, SecretPlace::kNowhere);
    for (const char* name : {"", "with space", "a=b", "名字", "#proxy"}) {
        EXPECT_FALSE(store.Save(name, "Quillon", "x").ok) << name;
    }
    EXPECT_FALSE(store.Save("proxy", "Quillon", std::string_view("a\0b", 3)).ok);
    EXPECT_FALSE(folder.Exists("data/secrets.conf"));
}

// A file someone made readable to others is made private again at the next look, and the
// caller hears that its passwords may have been read.
TEST(SecretFile, AFileOthersCouldReadIsMadePrivateAndReported) {
    TempDataFolder folder;
    CSecretStore store(folder.Path(), CSecretStore::Backends::kFileOnly);
    ASSERT_TRUE(store.Save("proxy", "Quillon", "hunter2").ok);
    ASSERT_EQ(::chmod(store.FilePath().c_str(), 0644), 0);

    const SecretResult found = store.Lookup("proxy");
    EXPECT_TRUE(found.ok);
    EXPECT_TRUE(found.fileWasExposed);
    EXPECT_EQ(ModeOf(store.FilePath()), 0600u);
    EXPECT_FALSE(store.Lookup("proxy").fileWasExposed);
}

// Damage costs only what it garbles: the other entries still read, a damaged entry says so,
// and lines the program cannot read survive the next save.
TEST(SecretFile, ADamagedFileLosesOnlyWhatIsGarbled) {
    TempDataFolder folder;
    folder.WriteFile("data/secrets.conf",
                     "\x01\xff garbage without an equals sign\n"
                     "proxy = %zz broken\n"
                     "sync.account = s%C3%A9cret\n"
                     "unknown key = value\n");
    ASSERT_EQ(::chmod(folder.File("data/secrets.conf").c_str(), 0600), 0);
    CSecretStore store(folder.Path(), CSecretStore::Backends::kFileOnly);

    const SecretResult broken = store.Lookup("proxy");
    EXPECT_FALSE(broken.ok);
    EXPECT_NE(broken.failure.find("damaged"), std::string::npos) << broken.failure;
    EXPECT_EQ(store.Lookup("sync.account").secret,
              "s\xC3\xA9"
              "cret");

    ASSERT_TRUE(store.Save("proxy", "Quillon", "mended").ok);
    EXPECT_EQ(store.Lookup("proxy").secret, "mended");
    const std::string text = folder.ReadFile("data/secrets.conf");
    EXPECT_NE(text.find("\x01\xff garbage without an equals sign\n"), std::string::npos);
    EXPECT_NE(text.find("unknown key = value\n"), std::string::npos);
    EXPECT_EQ(text.find("%zz"), std::string::npos);
}

// Removing takes one name; the file goes with its last entry; removing what is not there
// is no failure.
TEST(SecretFile, RemovingTakesOneNameAndTheFileGoesWithTheLast) {
    TempDataFolder folder;
    CSecretStore store(folder.Path(), CSecretStore::Backends::kFileOnly);
    EXPECT_TRUE(store.Remove("proxy").ok);
    ASSERT_TRUE(store.Save("proxy", "Quillon", "one").ok);
    ASSERT_TRUE(store.Save("sync.account", "Quillon", "two").ok);

    EXPECT_TRUE(store.Remove("proxy").ok);
    EXPECT_FALSE(store.Lookup("proxy").ok);
    EXPECT_EQ(store.Lookup("sync.account").secret, "two");
    EXPECT_TRUE(store.Remove("sync.account").ok);
    EXPECT_FALSE(folder.Exists("data/secrets.conf"));
}

// What is at the file's place but is no file of this user's is neither used nor written
// over: a link, a folder, a pipe (which must not block), a huge file, another user's file.
TEST(SecretFile, WhatIsNoFileOfTheUsersIsNeitherUsedNorWrittenOver) {
    TempDataFolder folder;
    const std::string path = folder.File("data/secrets.conf");
    const std::string elsewhere = folder.File("elsewhere.txt");
    const auto check = [&](const char* what) {
        CSecretStore store(folder.Path(), CSecretStore::Backends::kFileOnly);
        const SecretResult found = store.Lookup("proxy");
        EXPECT_FALSE(found.ok) << what;
        EXPECT_NE(found.failure, "") << what;
        EXPECT_FALSE(store.Save("proxy", "Quillon", "new").ok) << what;
    };

    folder.WriteFile("elsewhere.txt", "proxy = elsewhere\n");
    std::filesystem::create_symlink(elsewhere, path);
    check("a symbolic link");
    EXPECT_EQ(folder.ReadFile("elsewhere.txt"), "proxy = elsewhere\n");
    std::filesystem::remove(path);

    std::filesystem::create_directory(path);
    check("a folder");
    std::filesystem::remove(path);

    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    check("a named pipe");
    std::filesystem::remove(path);

    folder.WriteFile("data/secrets.conf", std::string(CSecretFile::kMaxFileBytes + 1, 'x'));
    ASSERT_EQ(::chmod(path.c_str(), 0600), 0);
    check("a huge file");
    EXPECT_EQ(std::filesystem::file_size(path), CSecretFile::kMaxFileBytes + 1);

    if (::geteuid() == 0) {
        folder.WriteFile("data/secrets.conf", "proxy = planted\n");
        ASSERT_EQ(::chown(path.c_str(), 65534, 65534), 0);
        ASSERT_EQ(::chmod(path.c_str(), 0600), 0);
        check("another user's file");
        EXPECT_EQ(folder.ReadFile("data/secrets.conf"), "proxy = planted\n");
    }
}

// Threads saving at once each keep their own entry: every change reads and writes the file
// under the folder's lock.
TEST(SecretFile, SavesAtTheSameTimeKeepEveryEntry) {
    TempDataFolder folder;
    const auto saver = [&folder](std::string name) {
        CSecretStore store(folder.Path(), CSecretStore::Backends::kFileOnly);
        for (int round = 0; round < 40; ++round) {
            ASSERT_TRUE(store.Save(name, "Quillon", name + std::to_string(round)).ok);
        }
    };
    std::thread first(saver, "first");
    std::thread second(saver, "second");
    first.join();
    second.join();
    CSecretStore store(folder.Path(), CSecretStore::Backends::kFileOnly);
    EXPECT_EQ(store.Lookup("first").secret, "first39");
    EXPECT_EQ(store.Lookup("second").secret, "second39");
}

// With no session bus to reach, the store says it used the file.
TEST(SecretStore, WithoutASessionBusThePasswordGoesToTheFileAndSaysSo) {
    if (std::getenv("QUILLON_TEST_SECRET_SERVICE")) {
        GTEST_SKIP() << "a Secret Service runs for this test process";
    }
    const ScopedEnv bus("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/quillon-test-bus");
    const ScopedEnv display("DISPLAY", nullptr);
    TempDataFolder folder;
    CSecretStore store(folder.Path());
    const SecretResult saved = store.Save("proxy", "Quillon", "hunter2");
    ASSERT_TRUE(saved.ok) << saved.failure;
    EXPECT_EQ(saved.place, SecretPlace::kFile);
    const SecretResult found = store.Lookup("proxy");
    EXPECT_EQ(found.place, SecretPlace::kFile);
    EXPECT_EQ(found.secret, "hunter2");
}

// A real Secret Service (gnome-keyring on a private session bus): the password goes there and
// not to the file; each data folder has its own; a copy the file got while the service was
// away is the newer one and read first, and the next save to the service removes it.
TEST(SecretStore, ARunningSecretServiceKeepsThePasswordOutOfTheFile) {
    if (!std::getenv("QUILLON_TEST_SECRET_SERVICE")) {
        GTEST_SKIP() << "no Secret Service here: tests/store/secret_service_test.sh starts one";
    }
    TempDataFolder folder;
    TempDataFolder other;
    CSecretStore store(folder.Path());
    const SecretResult saved = store.Save("proxy", "Quillon 测试", kAwkward);
    ASSERT_TRUE(saved.ok) << saved.failure;
    EXPECT_EQ(saved.place, SecretPlace::kSecretService);
    EXPECT_FALSE(folder.Exists("data/secrets.conf"));

    const SecretResult found = store.Lookup("proxy");
    EXPECT_EQ(found.place, SecretPlace::kSecretService);
    EXPECT_EQ(found.secret, kAwkward);
    EXPECT_FALSE(CSecretStore(other.Path()).Lookup("proxy").ok);

    CSecretStore(folder.Path(), CSecretStore::Backends::kFileOnly).Save("proxy", "Q", "newer");
    EXPECT_EQ(store.Lookup("proxy").secret, "newer");
    ASSERT_TRUE(store.Save("proxy", "Quillon", "newest").ok);
    EXPECT_FALSE(folder.Exists("data/secrets.conf"));
    EXPECT_EQ(store.Lookup("proxy").secret, "newest");

    EXPECT_TRUE(store.Remove("proxy").ok);
    EXPECT_FALSE(store.Lookup("proxy").ok);
}
