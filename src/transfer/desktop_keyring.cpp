#include "transfer/desktop_keyring.h"

#include <libsecret/secret.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>

namespace hemlo::transfer {

namespace {

const SecretSchema* Schema() {
  static const SecretSchema schema = {"org.hemlo2.Ferrox",
                                      SECRET_SCHEMA_NONE,
                                      {
                                          {"kind", SECRET_SCHEMA_ATTRIBUTE_STRING},
                                          {"profile", SECRET_SCHEMA_ATTRIBUTE_STRING},
                                          {"host", SECRET_SCHEMA_ATTRIBUTE_STRING},
                                          {"user", SECRET_SCHEMA_ATTRIBUTE_STRING},
                                          {nullptr, SECRET_SCHEMA_ATTRIBUTE_STRING},
                                      },
                                      0,
                                      nullptr,
                                      nullptr,
                                      nullptr,
                                      nullptr,
                                      nullptr,
                                      nullptr,
                                      nullptr};
  return &schema;
}

// Cancels the call running under it once `ms` have passed, or when the
// keyring is cancelled as a whole.
class Bound {
 public:
  Bound(int ms, std::mutex& current_mutex, GCancellable*& current, bool cancelled)
      : cancellable_(g_cancellable_new()), current_mutex_(current_mutex), current_(current) {
    if (cancelled) g_cancellable_cancel(cancellable_);
    {
      std::lock_guard<std::mutex> lock(current_mutex_);
      current_ = cancellable_;
    }
    thread_ = std::thread([this, ms] {
      std::unique_lock<std::mutex> lock(mutex_);
      if (!done_cv_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return done_; }))
        g_cancellable_cancel(cancellable_);
    });
  }
  ~Bound() {
    {
      std::lock_guard<std::mutex> lock(current_mutex_);
      current_ = nullptr;
    }
    {
      std::lock_guard<std::mutex> lock(mutex_);
      done_ = true;
    }
    done_cv_.notify_all();
    thread_.join();
    g_object_unref(cancellable_);
  }
  GCancellable* get() { return cancellable_; }

 private:
  GCancellable* cancellable_;
  std::mutex& current_mutex_;
  GCancellable*& current_;
  std::mutex mutex_;
  std::condition_variable done_cv_;
  bool done_ = false;
  std::thread thread_;
};

GHashTable* Attributes(const SecretKey& key) {
  GHashTable* a = g_hash_table_new(g_str_hash, g_str_equal);
  g_hash_table_insert(a, const_cast<char*>("kind"), const_cast<char*>(key.kind.c_str()));
  g_hash_table_insert(a, const_cast<char*>("profile"), const_cast<char*>(key.profile.c_str()));
  g_hash_table_insert(a, const_cast<char*>("host"), const_cast<char*>(key.host.c_str()));
  g_hash_table_insert(a, const_cast<char*>("user"), const_cast<char*>(key.user.c_str()));
  return a;
}

// A session bus is there to ask: never start one (dbus-launch would).
bool SessionBusAddressed() {
  if (const char* a = std::getenv("DBUS_SESSION_BUS_ADDRESS"); a && *a) return true;
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  std::error_code error;
  return runtime && std::filesystem::exists(std::filesystem::path(runtime) / "bus", error);
}

}  // namespace

bool DesktopKeyring::Present() {
  // HEMLO_KEYRING=off: as if none ran (tests of the window, kiosks).
  const char* choice = std::getenv("HEMLO_KEYRING");
  return !(choice && std::string(choice) == "off") && SessionBusAddressed();
}

void DesktopKeyring::Cancel() {
  cancelled_ = true;
  std::lock_guard<std::mutex> lock(current_mutex_);
  if (current_) g_cancellable_cancel(current_);
}

bool DesktopKeyring::Available() {
  if (available_ < 0) {
    available_ = 0;
    if (Present()) {
      Bound bound(timeout_ms_, current_mutex_, current_, cancelled_);
      GError* error = nullptr;
      SecretService* service =
          secret_service_get_sync(SECRET_SERVICE_OPEN_SESSION, bound.get(), &error);
      if (service) {
        available_ = 1;
        g_object_unref(service);
      }
      if (error) g_error_free(error);
    }
  }
  return available_ == 1;
}

// An error (a refused or dismissed prompt, a locked keyring, the bound
// passed) ends the keyring's use for the session.
void DesktopKeyring::Failed(GError* error) {
  if (!error) return;
  available_ = 0;
  g_error_free(error);
}

std::optional<std::string> DesktopKeyring::Lookup(const SecretKey& key) {
  if (!Available()) return std::nullopt;
  Bound bound(timeout_ms_, current_mutex_, current_, cancelled_);
  GError* error = nullptr;
  GHashTable* attributes = Attributes(key);
  SecretValue* value =
      secret_password_lookupv_binary_sync(Schema(), attributes, bound.get(), &error);
  g_hash_table_unref(attributes);
  Failed(error);
  if (!value) return std::nullopt;
  gsize length = 0;
  const gchar* bytes = secret_value_get(value, &length);
  std::string secret(bytes, length);
  secret_value_unref(value);
  return secret;
}

bool DesktopKeyring::Store(const SecretKey& key, const std::string& label,
                           const std::string& secret) {
  if (!Available()) return false;
  Bound bound(timeout_ms_, current_mutex_, current_, cancelled_);
  GError* error = nullptr;
  GHashTable* attributes = Attributes(key);
  // Bytes as they are: a password in Shift-JIS stays the same bytes.
  SecretValue* value =
      secret_value_new(secret.data(), gssize(secret.size()), "application/octet-stream");
  const gboolean ok = secret_password_storev_binary_sync(
      Schema(), attributes, SECRET_COLLECTION_DEFAULT, label.c_str(), value, bound.get(), &error);
  secret_value_unref(value);
  g_hash_table_unref(attributes);
  Failed(error);
  if (!ok) available_ = 0;
  return ok;
}

void DesktopKeyring::Remove(const SecretKey& key) {
  if (!Available()) return;
  Bound bound(timeout_ms_, current_mutex_, current_, cancelled_);
  GError* error = nullptr;
  GHashTable* attributes = Attributes(key);
  secret_password_clearv_sync(Schema(), attributes, bound.get(), &error);
  g_hash_table_unref(attributes);
  Failed(error);
}

}  // namespace hemlo::transfer
