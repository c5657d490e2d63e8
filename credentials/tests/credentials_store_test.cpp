#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "credentials/credentials_store.h"
#ifdef _WIN32
#include <windows.h>

#include "credentials/registry_win32.h"
#include "win32/handles.h"
#endif

namespace {

// Value types by their Windows numbers, so that a planted value means the same in both trees.
constexpr std::uint32_t Sz = 1, ExpandSz = 2, Binary = 3, Dword = 4;

struct TRawValue {
  std::uint32_t Type;
  std::string Data;
  bool operator==(const TRawValue&) const = default;
};

class TDialog final : public TCredentialsFields {
 public:
  std::string User = "typed user", Password = "typed password";
  bool Remember = true;
  std::vector<std::string> Messages;

  std::string UserText() const override { return User; }
  void SetUserText(const std::string& text) override { User = text; }
  std::string PasswordText() const override { return Password; }
  void SetPasswordText(const std::string& text) override { Password = text; }
  bool RememberMeChecked() const override { return Remember; }
  void SetRememberMeChecked(bool checked) override { Remember = checked; }
  void Tell(const std::string& text) override { Messages.push_back(text); }
};

// The registry a test runs against, with a way round the interface to plant values and look at them.
class TTestRegistry {
 public:
  virtual ~TTestRegistry() = default;
  virtual TRegistry& Registry() = 0;
  virtual bool KeyExists() = 0;
  virtual void Plant(const std::string& name, std::uint32_t type, const std::string& data) = 0;
  virtual std::optional<TRawValue> Get(const std::string& name) = 0;
};

class TFakeRegistry final : public TTestRegistry, public TRegistry {
 public:
  bool FailOpen = false, Open = false;
  std::string FailReadOf, FailWriteOf, FailDeleteOf;
  std::optional<std::map<std::string, TRawValue, std::less<>>> Values;

  TRegistry& Registry() override { return *this; }
  bool KeyExists() override { return Values.has_value(); }
  void Plant(const std::string& name, std::uint32_t type, const std::string& data) override {
    if (!Values) Values.emplace();
    (*Values)[name] = {type, data};
  }
  std::optional<TRawValue> Get(const std::string& name) override {
    if (!Values || !Values->contains(name)) return std::nullopt;
    return Values->at(name);
  }

  std::unique_ptr<TRegistryKey> OpenOrCreate(std::string_view path) override {
    EXPECT_EQ(path, "SOFTWARE\\Brovik\\Licenses\\Options");
    if (FailOpen) return nullptr;
    if (!Values) Values.emplace();
    Open = true;
    return std::make_unique<TKey>(*this);
  }

 private:
  class TKey final : public TRegistryKey {
   public:
    explicit TKey(TFakeRegistry& registry) : registry_(registry) {}
    ~TKey() override { registry_.Open = false; }
    TKey(const TKey&) = delete;
    TKey& operator=(const TKey&) = delete;

    std::string ReadText(std::string_view name) override {
      EXPECT_TRUE(registry_.Open);
      if (name == registry_.FailReadOf) throw ERegistryException();
      const auto value = registry_.Get(std::string(name));
      return value ? RegistryValueText(value->Type == Sz || value->Type == ExpandSz, value->Data) : "";
    }
    void WriteText(std::string_view name, std::string_view text) override {
      EXPECT_TRUE(registry_.Open);
      if (name == registry_.FailWriteOf) throw ERegistryException();
      registry_.Plant(std::string(name), Sz, std::string(text) + '\0');
    }
    void DeleteValue(std::string_view name) override {
      EXPECT_TRUE(registry_.Open);
      if (name == registry_.FailDeleteOf) throw ERegistryException();
      registry_.Values->erase(std::string(name));
    }

   private:
    TFakeRegistry& registry_;
  };
};

#ifdef _WIN32
// The registry of the test's own Wine prefix; the key is removed before and after.
class TRealRegistry final : public TTestRegistry {
 public:
  TRealRegistry() { Erase(); }
  ~TRealRegistry() override { Erase(); }

  TRegistry& Registry() override { return registry_; }
  bool KeyExists() override { return static_cast<bool>(Open()); }
  void Plant(const std::string& name, std::uint32_t type, const std::string& data) override {
    // Makes the key too when it is missing.
    EXPECT_EQ(RegSetKeyValueA(HKEY_CURRENT_USER, Path.c_str(), name.c_str(), type, data.data(),
                              static_cast<DWORD>(data.size())),
              ERROR_SUCCESS);
  }
  std::optional<TRawValue> Get(const std::string& name) override {
    const TKeyHandle key = Open();
    DWORD type = 0, size = 0;
    if (!key || RegQueryValueExA(key.Get(), name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
      return std::nullopt;
    std::string data(size, '\0');
    RegQueryValueExA(key.Get(), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size);
    return TRawValue{type, data};
  }

 private:
  static void Erase() { RegDeleteTreeA(HKEY_CURRENT_USER, Path.c_str()); }
  static TKeyHandle Open() {
    HKEY key = nullptr;
    RegOpenKeyExA(HKEY_CURRENT_USER, Path.c_str(), 0, KEY_READ, &key);
    return TKeyHandle(key);
  }
  inline static const std::string Path{CredentialsKeyPath};
  TWin32Registry registry_;
};
#endif

struct TBackend {
  const char* Name;
  std::unique_ptr<TTestRegistry> (*Make)();
  friend void PrintTo(const TBackend& backend, std::ostream* out) { *out << backend.Name; }
};

std::string Stored(std::string_view text) { return CipherEnvelope(text, CredentialsKey, true) + '\0'; }

// Whether reading the value raises.
bool ReadFails(TRegistry& registry, std::string_view name) {
  const auto key = registry.OpenOrCreate(CredentialsKeyPath);
  EXPECT_TRUE(key);
  try {
    if (key) key->ReadText(name);
  } catch (const ERegistryException&) {
    return true;
  }
  return false;
}

class StoreTest : public testing::TestWithParam<TBackend> {
 protected:
  void Load(TDialog& dialog) { LoadCredentials(dialog, registry_->Registry()); }
  void Save(TDialog& dialog) { SaveCredentials(dialog, registry_->Registry()); }
  void ExpectUntouched(const TDialog& dialog) {
    EXPECT_EQ(dialog.User, "typed user");
    EXPECT_EQ(dialog.Password, "typed password");
    EXPECT_FALSE(dialog.Remember);
  }

  std::unique_ptr<TTestRegistry> registry_ = GetParam().Make();
};

TEST_P(StoreTest, FirstShowCreatesTheKeyAndLoadsNothing) {
  ASSERT_FALSE(registry_->KeyExists());
  TDialog dialog;
  Load(dialog);
  EXPECT_TRUE(registry_->KeyExists());
  ExpectUntouched(dialog);
  EXPECT_TRUE(dialog.Messages.empty());
}

TEST_P(StoreTest, NothingLoadedUnlessBothValuesHoldText) {
  const std::vector<std::vector<std::pair<std::string, std::string>>> cases = {
      {{"Username", Stored("alice")}},
      {{"Password", Stored("pw")}},
      {{"Username", Stored("alice")}, {"Password", std::string(1, '\0')}},
      {{"Username", ""}, {"Password", Stored("pw")}},
  };
  for (const auto& values : cases) {
    registry_ = GetParam().Make();
    for (const auto& [name, data] : values) registry_->Plant(name, Sz, data);
    TDialog dialog;
    Load(dialog);
    ExpectUntouched(dialog);
    EXPECT_TRUE(dialog.Messages.empty());
  }
}

TEST_P(StoreTest, RememberedValuesComeBackAsTheyWereTyped) {
  for (const auto& [user, password] : {std::pair{"alice", ""}, {"Ren\xE9 M", "pass word"}}) {
    TDialog typed;
    typed.User = user;
    typed.Password = password;
    Save(typed);
    EXPECT_EQ(registry_->Get("Username"), (TRawValue{Sz, Stored(user)}));
    EXPECT_EQ(registry_->Get("Password"), (TRawValue{Sz, Stored(password)}));
    TDialog shown;
    Load(shown);
    EXPECT_EQ(shown.User, user);
    EXPECT_EQ(shown.Password, password);
    EXPECT_TRUE(shown.Remember);
    EXPECT_TRUE(typed.Messages.empty() && shown.Messages.empty());
    if (std::string_view(password).empty()) {
      // Twelve characters and the terminating zero.
      EXPECT_EQ(registry_->Get("Password")->Data.size(), 13u);
    }
  }
}

TEST_P(StoreTest, UncheckedSignInForgetsSilently) {
  TDialog dialog;
  Save(dialog);
  dialog.Remember = false;
  for (int round = 0; round < 2; ++round) {
    Save(dialog);
    EXPECT_FALSE(registry_->Get("Username"));
    EXPECT_FALSE(registry_->Get("Password"));
  }
  EXPECT_TRUE(registry_->KeyExists());
  TDialog shown;
  Load(shown);
  ExpectUntouched(shown);
  EXPECT_TRUE(dialog.Messages.empty() && shown.Messages.empty());
}

TEST_P(StoreTest, ValuesThatCannotBeDecipheredOrRead) {
  const std::string failed(RetrieveFailedMessage);
  const struct {
    std::uint32_t UserType;
    std::string User, Password, ShownUser;
    std::vector<std::string> Messages;
    bool ReadFails = false;
  } cases[] = {
      {Sz, Stored("alice"), "AAAA" + std::string(1, '\0'), "alice", {failed}},
      {Sz, "QUJD QUJD", Stored("pw"), "typed user", {failed}},
      {Dword, std::string("\x01\0\0\0", 4), Stored("pw"), "typed user", {failed}, true},
      // No data is the empty text, whatever the type.
      {Dword, "", Stored("pw"), "typed user", {}},
      {Binary, "", Stored("pw"), "typed user", {}},
  };
  for (const auto& c : cases) {
    registry_ = GetParam().Make();
    registry_->Plant("Username", c.UserType, c.User);
    registry_->Plant("Password", Sz, c.Password);
    TDialog dialog;
    Load(dialog);
    EXPECT_EQ(dialog.User, c.ShownUser);
    EXPECT_EQ(dialog.Password, "typed password");
    EXPECT_FALSE(dialog.Remember);
    EXPECT_EQ(dialog.Messages, c.Messages);
    EXPECT_EQ(ReadFails(registry_->Registry(), "Username"), c.ReadFails);
  }
}

TEST_P(StoreTest, StringValuesOfBothTypesEndAtTheirFirstZero) {
  registry_->Plant("Username", ExpandSz, Stored("alice") + "junk" + '\0');
  registry_->Plant("Password", Sz, CipherEnvelope("pw", CredentialsKey, true));  // no terminating zero
  TDialog dialog;
  Load(dialog);
  EXPECT_EQ(dialog.User, "alice");
  EXPECT_EQ(dialog.Password, "pw");
  EXPECT_TRUE(dialog.Remember);
  EXPECT_TRUE(dialog.Messages.empty());
}

TEST_P(StoreTest, ValueStoredUnderAnotherKeyComesInAsItDeciphers) {
  // Find a value that deciphers under CredentialsKey although it was made under another key.
  TCipherKey other = CredentialsKey;
  std::string stored, text;
  for (unsigned char i = 0; text.empty(); ++i) {
    other[0] = i;
    stored = CipherEnvelope("alice in wonderland", other, true);
    try {
      text = CipherEnvelope(stored, CredentialsKey, false);
    } catch (const ECipherException&) {
    }
  }
  registry_->Plant("Username", Sz, stored + '\0');
  registry_->Plant("Password", Sz, stored + '\0');
  TDialog dialog;
  Load(dialog);
  EXPECT_EQ(dialog.User, text);
  EXPECT_EQ(dialog.Password, text);
  EXPECT_TRUE(dialog.Remember);
  EXPECT_TRUE(dialog.Messages.empty());
}

INSTANTIATE_TEST_SUITE_P(InMemory, StoreTest,
                         testing::Values(TBackend{
                             "fake", [] { return std::unique_ptr<TTestRegistry>(new TFakeRegistry); }}));
#ifdef _WIN32
INSTANTIATE_TEST_SUITE_P(Win32, StoreTest,
                         testing::Values(TBackend{
                             "registry", [] { return std::unique_ptr<TTestRegistry>(new TRealRegistry); }}));

TEST(Win32Store, DialogOnlyOperationsUseTheCurrentUsersKey) {
  TRealRegistry registry;
  TDialog typed;
  typed.User = "carol";
  SaveRememberedCredentials(typed);
  EXPECT_EQ(registry.Get("Username"), (TRawValue{Sz, Stored("carol")}));
  TDialog shown;
  LoadRememberedCredentials(shown);
  EXPECT_EQ(shown.User, "carol");
  EXPECT_TRUE(shown.Remember);
}

TEST(Win32Store, KeyRemovedWhileOpenFailsToRead) {
  TRealRegistry registry;
  const auto key = registry.Registry().OpenOrCreate(CredentialsKeyPath);
  ASSERT_TRUE(key);
  RegDeleteTreeA(HKEY_CURRENT_USER, std::string(CredentialsKeyPath).c_str());
  EXPECT_THROW(key->ReadText("Username"), ERegistryException);
}
#endif

// Faults that only the in-memory registry can stage. The key must be closed after every operation.
class StoreFaultTest : public testing::Test {
 protected:
  void TearDown() override { EXPECT_FALSE(registry_.Open); }
  TFakeRegistry registry_;
  TDialog dialog_;
};

TEST_F(StoreFaultTest, KeyThatCannotBeOpenedChangesNothingAndSaysNothing) {
  registry_.FailOpen = true;
  LoadCredentials(dialog_, registry_);
  EXPECT_EQ(dialog_.User, "typed user");
  EXPECT_FALSE(dialog_.Remember);
  dialog_.Remember = true;
  SaveCredentials(dialog_, registry_);
  EXPECT_FALSE(registry_.KeyExists());
  EXPECT_TRUE(dialog_.Messages.empty());
}

TEST_F(StoreFaultTest, WriteFailureAtThePasswordKeepsTheNewUserName) {
  registry_.Plant("Username", Sz, Stored("old user"));
  registry_.Plant("Password", Sz, Stored("old password"));
  registry_.FailWriteOf = "Password";
  SaveCredentials(dialog_, registry_);
  EXPECT_EQ(dialog_.Messages, std::vector<std::string>{std::string(SaveFailedMessage)});
  EXPECT_EQ(registry_.Get("Username")->Data, Stored("typed user"));
  EXPECT_EQ(registry_.Get("Password")->Data, Stored("old password"));
}

TEST_F(StoreFaultTest, FailedReadAndFailedRemovalAreReported) {
  registry_.Plant("Username", Sz, Stored("alice"));
  registry_.Plant("Password", Sz, Stored("pw"));
  registry_.FailReadOf = "Password";
  LoadCredentials(dialog_, registry_);
  EXPECT_EQ(dialog_.User, "typed user");
  EXPECT_FALSE(dialog_.Remember);
  EXPECT_TRUE(ReadFails(registry_, "Password"));
  // The user name goes first, and stays gone.
  registry_.FailDeleteOf = "Password";
  SaveCredentials(dialog_, registry_);
  EXPECT_FALSE(registry_.Get("Username"));
  EXPECT_TRUE(registry_.Get("Password"));
  EXPECT_EQ(dialog_.Messages,
            (std::vector<std::string>{std::string(RetrieveFailedMessage), std::string(RemoveFailedMessage)}));
}

}  // namespace
