#include "remote/keyring_session.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <future>
#include <map>
#include <mutex>
#include <thread>

namespace hemlo::transfer {

namespace {

std::string Id(const SecretKey& k) {
  return k.kind + '\0' + k.profile + '\0' + k.host + '\0' + k.user;
}

}  // namespace

struct KeyringSession::State {
  std::unique_ptr<SecretStore> store;
  Post post;
  int wait_ms = 0;
  bool present = false;

  // Held while `post` runs (which may run the function at once, on the
  // owner's thread, and queue again); the owner clears `post` when going.
  std::recursive_mutex post_mutex;
  mutable std::mutex mutex;
  std::condition_variable wake;
  std::condition_variable finished_cv;
  std::deque<std::function<void()>> jobs;
  bool running = false;  // a job taken and not done
  bool stopping = false;
  bool finished = false;
  bool usable = false;
  bool told = false;
  // What the keyring was asked and answered this session, by key: the
  // secret, or nullopt when it holds none.
  std::map<std::string, std::optional<std::string>> known;
  std::map<std::string, std::string> asked;  // the last secret queued per key
  std::function<void()> out_of_use;

  // On the keyring thread, after a call: a keyring that stopped answering
  // is out of use from now on, and the owner hears it once.
  void Checked() {
    if (store->Available()) return;
    std::function<void()> tell;
    {
      std::lock_guard<std::mutex> lock(mutex);
      if (!usable) return;
      usable = false;
      if (told || stopping) return;
      told = true;
      tell = out_of_use;
    }
    if (tell) Send(tell);
  }

  // Back on the owner's thread, unless the owner is gone. Outside `mutex`:
  // the owner's queue has a lock of its own.
  void Send(std::function<void()> fn) {
    std::lock_guard<std::recursive_mutex> lock(post_mutex);
    if (post) post(std::move(fn));
  }

  // On the keyring thread: whether to ask at all.
  bool Ready() {
    {
      std::lock_guard<std::mutex> lock(mutex);
      if (!usable || stopping) return false;
    }
    if (store->Available()) return true;
    Checked();
    return false;
  }

  void Run() {
    for (;;) {
      std::function<void()> job;
      {
        std::unique_lock<std::mutex> lock(mutex);
        wake.wait(lock, [this] { return stopping || !jobs.empty(); });
        if (jobs.empty()) break;  // stopping
        job = std::move(jobs.front());
        jobs.pop_front();
        running = true;
      }
      job();
      std::lock_guard<std::mutex> lock(mutex);
      running = false;
    }
    std::lock_guard<std::mutex> lock(mutex);
    finished = true;
    finished_cv.notify_all();
  }

  void Queue(std::function<void()> job) {
    std::lock_guard<std::mutex> lock(mutex);
    jobs.push_back(std::move(job));
    wake.notify_one();
  }

  void Answer(std::function<void()> fn) { Send(std::move(fn)); }

  // On the keyring thread.
  std::optional<std::string> Ask(const SecretKey& key) {
    {
      std::lock_guard<std::mutex> lock(mutex);
      if (auto it = known.find(Id(key)); it != known.end()) return it->second;
    }
    if (!Ready()) return std::nullopt;
    std::optional<std::string> secret = store->Lookup(key);
    Checked();
    std::lock_guard<std::mutex> lock(mutex);
    // An answer is one only while the keyring still answers.
    if (usable) known[Id(key)] = secret;
    return secret;
  }

  bool Put(const SecretKey& key, const std::string& label, const std::string& secret) {
    if (!Ready()) return false;
    const bool ok = store->Store(key, label, secret);
    Checked();
    std::lock_guard<std::mutex> lock(mutex);
    if (ok) known[Id(key)] = secret;
    return ok;
  }

  void Drop(const SecretKey& key) {
    if (!Ready()) return;
    store->Remove(key);
    Checked();
    std::lock_guard<std::mutex> lock(mutex);
    known[Id(key)] = std::nullopt;
  }
};

namespace {

// Another thread's view: each call runs on the keyring thread and is
// waited for within the bound.
class BlockingStore : public SecretStore {
 public:
  explicit BlockingStore(KeyringSession& session) : session_(session) {}
  bool Present() override { return session_.Present(); }
  bool Available() override { return session_.Usable(); }
  std::optional<std::string> Lookup(const SecretKey& key) override { return session_.Lookup(key); }
  // Queued, not waited for: the caller keeps the secret for the session
  // as well, and the next session finds it in the keyring.
  bool Store(const SecretKey& key, const std::string& label, const std::string& secret) override {
    session_.Store(key, label, secret);
    return false;
  }
  void Remove(const SecretKey& key) override { session_.Remove(key); }

 private:
  KeyringSession& session_;
};

}  // namespace

KeyringSession::KeyringSession(std::unique_ptr<SecretStore> store, Post post, int wait_ms)
    : state_(std::make_shared<State>()) {
  state_->store = std::move(store);
  state_->post = std::move(post);
  state_->wait_ms = wait_ms;
  state_->present = state_->store && state_->store->Present();
  state_->usable = state_->present;
  blocking_ = std::make_unique<BlockingStore>(*this);
  if (!state_->present) {
    state_->finished = true;
    return;
  }
  // The thread keeps the state alive: it may outlast the session.
  std::thread([state = state_] { state->Run(); }).detach();
}

KeyringSession::~KeyringSession() { Close(); }

void KeyringSession::Close() {
  {
    std::lock_guard<std::recursive_mutex> post_lock(state_->post_mutex);
    state_->post = nullptr;
  }
  std::unique_lock<std::mutex> lock(state_->mutex);
  if (state_->stopping) return;
  state_->stopping = true;
  state_->usable = false;
  state_->jobs.clear();
  state_->wake.notify_all();
  lock.unlock();
  if (state_->store) state_->store->Cancel();
  lock.lock();
  // A cancelled call returns at once; one that does not is left behind.
  state_->finished_cv.wait_for(lock, std::chrono::seconds(2), [this] { return state_->finished; });
}

bool KeyringSession::Present() const { return state_->present; }

bool KeyringSession::Usable() const {
  std::lock_guard<std::mutex> lock(state_->mutex);
  return state_->usable;
}

bool KeyringSession::Pending() const {
  std::lock_guard<std::mutex> lock(state_->mutex);
  return state_->running || !state_->jobs.empty();
}

bool KeyringSession::Holds(const SecretKey& key, const std::string& secret) const {
  std::lock_guard<std::mutex> lock(state_->mutex);
  const auto it = state_->known.find(Id(key));
  return it != state_->known.end() && it->second == secret;
}

void KeyringSession::Store(const SecretKey& key, const std::string& label,
                           const std::string& secret, std::function<void(bool)> done) {
  bool again = false;
  {
    std::lock_guard<std::mutex> lock(state_->mutex);
    auto [it, first] = state_->asked.try_emplace(Id(key), secret);
    again = !first && it->second == secret;
    it->second = secret;
  }
  // A secret already handed over is not asked for again.
  if (!Usable() || again) {
    if (done) state_->Answer([done] { done(false); });
    return;
  }
  State* s = state_.get();
  s->Queue([s, key, label, secret, done] {
    const bool ok = s->Put(key, label, secret);
    if (done) s->Answer([done, ok] { done(ok); });
  });
}

void KeyringSession::Remove(const SecretKey& key) {
  if (!Usable()) return;
  State* s = state_.get();
  s->Queue([s, key] { s->Drop(key); });
}

void KeyringSession::Move(const SecretKey& from, const SecretKey& to, const std::string& label) {
  if (!Usable() || from == to) return;
  State* s = state_.get();
  s->Queue([s, from, to, label] {
    const auto secret = s->Ask(from);
    if (secret && !s->Put(to, label, *secret)) return;  // kept where it was
    s->Drop(from);
  });
}

std::optional<std::string> KeyringSession::Lookup(const SecretKey& key,
                                                  const std::function<bool()>& stop) {
  {
    std::lock_guard<std::mutex> lock(state_->mutex);
    if (auto it = state_->known.find(Id(key)); it != state_->known.end()) return it->second;
    if (!state_->usable) return std::nullopt;
  }
  auto answer = std::make_shared<std::promise<std::optional<std::string>>>();
  std::future<std::optional<std::string>> future = answer->get_future();
  State* s = state_.get();
  s->Queue([s, key, answer] { answer->set_value(s->Ask(key)); });
  // In short steps: a stop, or the session closing, ends the wait.
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(state_->wait_ms);
  while (future.wait_for(std::chrono::milliseconds(50)) != std::future_status::ready) {
    if (std::chrono::steady_clock::now() >= until || (stop && stop()) || !Usable())
      return std::nullopt;
  }
  try {
    return future.get();
  } catch (const std::future_error&) {  // dropped when the session closed
    return std::nullopt;
  }
}

void KeyringSession::SetOnOutOfUse(std::function<void()> fn) {
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->out_of_use = std::move(fn);
}

SecretStore& KeyringSession::Blocking() { return *blocking_; }

}  // namespace hemlo::transfer
