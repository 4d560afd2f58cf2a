#include "Core/httpQuery.h"

#include <curl/curl.h>

#include <atomic>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "platform/Log.h"
#include "platform/RunLoop.h"
#include "platform/Strings.h"

namespace {

// Larger answers are refused: the system only fetches small JSON texts and
// images.
constexpr size_t kMaxBody = size_t{32} << 20;
// The main run loop's timer decides the time-out of an asynchronous request;
// the transfer's own deadline only frees the transfer should that timer
// never fire (a stopped run loop).
constexpr long kBackstopMs = static_cast<long>((httpQuery::kTimeOut + 5.0) * 1000);
constexpr long kSyncTimeoutMs = static_cast<long>(httpQuery::kTimeOut * 1000);

struct Response {
    long status = 0;  // 0: no response
    std::string body;
    std::string error;  // the transport error, if any
};

void globalInit() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

// The transfer library (and the TLS library under it) is set up before main,
// on the main thread: set up first by a worker thread (a logo download), it
// leaves that thread's state behind for good.
[[maybe_unused]] const bool gGlobalInitDone = (globalInit(), true);

size_t collect(char* data, size_t size, size_t count, void* user) {
    auto* body = static_cast<std::string*>(user);
    const size_t length = size * count;
    if (body->size() + length > kMaxBody) return 0;  // aborts the transfer
    body->append(data, length);
    return length;
}

// One transfer: the handle and the buffers it writes into.
struct Transfer {
    uint64_t id = 0;
    CURL* easy = nullptr;
    std::optional<std::string> post;
    std::string body;
    char error[CURL_ERROR_SIZE] = {};
    std::function<void(Response)> done;

    Transfer(const std::string& url, std::optional<std::string> postData, long timeoutMs)
        : easy(curl_easy_init()), post(std::move(postData)) {
        if (!easy) return;
        curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
        curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
        curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
        curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L);
        curl_easy_setopt(easy, CURLOPT_MAXREDIRS, 10L);
        curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS, timeoutMs);
        curl_easy_setopt(easy, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(kMaxBody));
        curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, collect);
        curl_easy_setopt(easy, CURLOPT_WRITEDATA, &body);
        curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, error);
        if (post) {
            curl_easy_setopt(easy, CURLOPT_POST, 1L);
            curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE,
                             static_cast<curl_off_t>(post->size()));
            curl_easy_setopt(easy, CURLOPT_POSTFIELDS, post->data());
        }
    }
    ~Transfer() {
        if (easy) curl_easy_cleanup(easy);
    }
    Transfer(const Transfer&) = delete;
    Transfer& operator=(const Transfer&) = delete;

    Response result(CURLcode code) {
        Response response;
        if (code != CURLE_OK) {
            response.error = error[0] ? error : curl_easy_strerror(code);
            return response;
        }
        curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &response.status);
        response.body = std::move(body);
        return response;
    }
};

// The background thread that runs every asynchronous transfer.
class Engine {
  public:
    static Engine& shared() {
        static Engine engine;
        return engine;
    }

    void start(std::unique_ptr<Transfer> transfer) {
        {
            std::lock_guard lock(mutex_);
            adds_.push_back(std::move(transfer));
        }
        curl_multi_wakeup(multi_);
    }

    void cancel(uint64_t id) {
        {
            std::lock_guard lock(mutex_);
            cancels_.push_back(id);
        }
        curl_multi_wakeup(multi_);
    }

  private:
    Engine() {
        globalInit();
        platform::RunLoop::main();  // outlives the engine: completions are posted there
        multi_ = curl_multi_init();
        thread_ = std::thread([this] { run(); });
    }
    ~Engine() {
        {
            std::lock_guard lock(mutex_);
            stop_ = true;
        }
        curl_multi_wakeup(multi_);
        thread_.join();
        curl_multi_cleanup(multi_);
    }

    void run() {
        std::map<CURL*, std::unique_ptr<Transfer>> active;
        while (true) {
            std::deque<std::unique_ptr<Transfer>> adds;
            std::vector<uint64_t> cancels;
            {
                std::lock_guard lock(mutex_);
                if (stop_) break;
                adds.swap(adds_);
                cancels.swap(cancels_);
            }
            for (auto& transfer : adds) {
                CURL* easy = transfer->easy;
                if (curl_multi_add_handle(multi_, easy) != CURLM_OK) {
                    transfer->done(transfer->result(CURLE_FAILED_INIT));
                    continue;
                }
                active.emplace(easy, std::move(transfer));
            }
            for (uint64_t id : cancels) {
                for (auto it = active.begin(); it != active.end(); ++it) {
                    if (it->second->id != id) continue;
                    curl_multi_remove_handle(multi_, it->first);
                    active.erase(it);
                    break;
                }
            }
            int running = 0;
            curl_multi_perform(multi_, &running);
            int left = 0;
            while (CURLMsg* message = curl_multi_info_read(multi_, &left)) {
                if (message->msg != CURLMSG_DONE) continue;
                auto it = active.find(message->easy_handle);
                if (it == active.end()) continue;
                const CURLcode code = message->data.result;
                curl_multi_remove_handle(multi_, it->first);
                std::unique_ptr<Transfer> transfer = std::move(it->second);
                active.erase(it);
                transfer->done(transfer->result(code));
            }
            curl_multi_poll(multi_, nullptr, 0, 1000, nullptr);
        }
        for (auto& [easy, transfer] : active)
            curl_multi_remove_handle(multi_, easy);
    }

    std::mutex mutex_;
    std::deque<std::unique_ptr<Transfer>> adds_;
    std::vector<uint64_t> cancels_;
    bool stop_ = false;
    CURLM* multi_ = nullptr;
    std::thread thread_;
};

// The outcome rule shared by every form.
void deliver(const Response& response, const httpQuery::SuccessBlock& onSuccess,
             const httpQuery::FailBlock& onFail) {
    if (!response.error.empty()) platform::log(response.error);
    if (response.status == 200) {
        if (onSuccess) onSuccess(response.body);
    } else if (onFail) {
        onFail(platform::stringf("%ld", response.status), httpQuery::kFailMessage);
    }
}

// Asynchronous requests waiting for their answer, by id. Main thread only:
// the blocks are made, called and destroyed there.
struct Call {
    httpQuery::SuccessBlock onSuccess;
    httpQuery::FailBlock onFail;
    platform::Timer timeOut;
};
std::map<uint64_t, Call>& calls() {
    static std::map<uint64_t, Call> pending;
    return pending;
}
uint64_t gNextId = 1;

// Takes the call out of the table; nothing when it has already ended.
std::optional<Call> take(uint64_t id) {
    auto it = calls().find(id);
    if (it == calls().end()) return std::nullopt;
    Call call = std::move(it->second);
    calls().erase(it);
    call.timeOut.invalidate();
    return call;
}

void startAsync(const std::string& url, std::optional<std::string> post,
                httpQuery::SuccessBlock onSuccess, httpQuery::FailBlock onFail) {
    auto begin = [url, post = std::move(post), onSuccess = std::move(onSuccess),
                  onFail = std::move(onFail)]() mutable {
        const uint64_t id = gNextId++;
        auto transfer = std::make_unique<Transfer>(url, std::move(post), kBackstopMs);
        if (!transfer->easy) {
            platform::RunLoop::main().post([onSuccess, onFail] {
                deliver(Response{0, {}, "no transfer handle"}, onSuccess, onFail);
            });
            return;
        }
        transfer->id = id;
        transfer->done = [id](Response response) {
            platform::RunLoop::main().post([id, response = std::move(response)] {
                if (auto call = take(id)) deliver(response, call->onSuccess, call->onFail);
            });
        };
        Call& call = calls()[id];
        call.onSuccess = std::move(onSuccess);
        call.onFail = std::move(onFail);
        call.timeOut = platform::Timer::schedule(httpQuery::kTimeOut, false, [id] {
            auto ended = take(id);
            if (!ended) return;
            Engine::shared().cancel(id);
            deliver(Response{0, {}, curl_easy_strerror(CURLE_OPERATION_TIMEDOUT)}, ended->onSuccess,
                    ended->onFail);
        });
        Engine::shared().start(std::move(transfer));
    };
    if (platform::RunLoop::main().isCurrent()) {
        begin();
    } else {
        platform::RunLoop::main().post(std::move(begin));
    }
}

Response performNow(const std::string& url, std::optional<std::string> post) {
    globalInit();
    Transfer transfer(url, std::move(post), kSyncTimeoutMs);
    if (!transfer.easy) return Response{0, {}, "no transfer handle"};
    return transfer.result(curl_easy_perform(transfer.easy));
}

}  // namespace

void httpQuery::synGetWithUrl(const std::string& url, const SuccessBlock& onSuccess,
                              const FailBlock& onFail) {
    deliver(performNow(url, std::nullopt), onSuccess, onFail);
}

void httpQuery::synPostWithUrl(const std::string& url) {
    const Response response = performNow(url, std::string("type=focus-c"));
    if (!response.error.empty()) platform::log(response.error);
    platform::log(response.body);
}

void httpQuery::asynGetWithUrl(const std::string& url, SuccessBlock onSuccess, FailBlock onFail) {
    startAsync(url, std::nullopt, std::move(onSuccess), std::move(onFail));
}

void httpQuery::asynPostWithUrl(const std::string& url, SuccessBlock onSuccess, FailBlock onFail) {
    startAsync(url, "id=" + encodeQueryValue(kStoreIdentifier), std::move(onSuccess),
               std::move(onFail));
}

void httpQuery::asynGetWithUrlBin(const std::string& url, SuccessBlock onSuccess,
                                  FailBlock onFail) {
    startAsync(url, std::nullopt, std::move(onSuccess), std::move(onFail));
}

std::string httpQuery::encodeQueryValue(std::string_view text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size() * 3);
    for (unsigned char c : text) {
        const bool unreserved = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                                (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '_' ||
                                c == '~';
        if (unreserved) {
            out.push_back(static_cast<char>(c));
        } else {
            out.push_back('%');
            out.push_back(kHex[c >> 4]);
            out.push_back(kHex[c & 0x0F]);
        }
    }
    return out;
}
