// The local speech service: one recognizer per model folder under the model
// root, decoders loaded ahead of need, and each task decoding on a worker
// thread of its own while its deliveries go to the main queue.
#include <map>
#include <mutex>

#include "platform/dispatch.h"
#include "platform/pocketsphinx/decoder.h"
#include "platform/pocketsphinx/file-recognition.h"
#include "platform/pocketsphinx/model.h"
#include "platform/pocketsphinx/pocketsphinx-speech.h"
#include "platform/pocketsphinx/recognition.h"
#include "platform/pocketsphinx/requests.h"

namespace platform {
namespace pocketsphinx {
namespace {

// What one task needs on its worker thread, held there until its last
// delivery has been queued (each delivery holds the request too).
struct TaskContext {
  std::shared_ptr<RecognitionRequest> request;
  ResultHandler handler;
  RequestOptions options;
  FormatOptions format;
};

// Queues one delivery on the main queue. Any thread.
void deliver(const std::shared_ptr<TaskContext>& task, std::optional<RecognitionResult> result,
             std::optional<Error> error) {
  mainAsync([task, result = std::move(result), error = std::move(error)] {
    task->handler(result, error);
  });
}

void deliverError(const std::shared_ptr<TaskContext>& task, std::string description) {
  deliver(task, std::nullopt, Error{std::move(description)});
}

class Recognizer final : public SpeechRecognizer {
 public:
  Recognizer(ModelFiles files, std::shared_ptr<DecoderLoader> loader)
      : files_(std::move(files)), loader_(std::move(loader)) {}

  bool isAvailable() override { return loader_ != nullptr && modelFilesReadable(files_); }

  void recognitionTask(std::shared_ptr<RecognitionRequest> request, ResultHandler handler) override;

 private:
  // Worker thread: the whole of one task.
  static void run(std::shared_ptr<TaskContext> task, std::shared_ptr<DecoderLoader> loader,
                  std::unique_ptr<AudioSource> source);
  static void runFile(const std::shared_ptr<TaskContext>& task,
                      const std::shared_ptr<DecoderLoader>& loader, AudioSource& source);
  static std::unique_ptr<AudioSource> openSource(const std::shared_ptr<TaskContext>& task);

  const ModelFiles files_;
  const std::shared_ptr<DecoderLoader> loader_;  // null: the model looked unusable
};

void Recognizer::recognitionTask(std::shared_ptr<RecognitionRequest> request,
                                 ResultHandler handler) {
  auto task = std::make_shared<TaskContext>(TaskContext{std::move(request), std::move(handler), {}, {}});
  if (!isAvailable()) {
    deliverError(task, "Speech recognition is not available: the model files for \u201c" +
                           files_.folder + "\u201d are missing or unreadable.");
    return;
  }
  auto* live = dynamic_cast<LiveRequest*>(task->request.get());
  auto* file = dynamic_cast<FileRequest*>(task->request.get());
  RequestState* state = live ? &live->state() : file ? &file->state() : nullptr;
  if (state == nullptr) return deliverError(task, "The request was not made by this speech service.");
  if (!state->claim()) return deliverError(task, "The request is already used by another task.");
  // The options as they are now apply; later changes do not.
  task->options = state->options();
  task->format = {task->options.addsPunctuation, files_.folder.rfind("en", 0) == 0,
                  task->options.contextualStrings};
  globalAsync([task, loader = loader_] {
    std::unique_ptr<AudioSource> source = openSource(task);
    if (source) run(task, loader, std::move(source));
  });
}

// Worker thread. A file that cannot be read fails the task before any
// decoding, so the error is its one and only delivery.
std::unique_ptr<AudioSource> Recognizer::openSource(const std::shared_ptr<TaskContext>& task) {
  if (auto* live = dynamic_cast<LiveRequest*>(task->request.get()))
    return std::make_unique<LiveSource>(live->handoff());
  auto* file = static_cast<FileRequest*>(task->request.get());
  std::optional<Error> error;
  std::unique_ptr<SoundFile> sound = SoundFile::open(file->url().path, error);
  if (!sound) {
    deliver(task, std::nullopt, error);
    return nullptr;
  }
  return std::make_unique<FileSource>(std::move(sound));
}

void Recognizer::run(std::shared_ptr<TaskContext> task, std::shared_ptr<DecoderLoader> loader,
                     std::unique_ptr<AudioSource> source) {
  if (dynamic_cast<FileRequest*>(task->request.get())) return runFile(task, loader, *source);
  Decoder decoder = loader->take();
  if (!decoder) return deliverError(task, "The speech recognizer\u2019s model could not be loaded.");
  Transcript transcript(task->format);
  PartialText partial;
  if (task->options.reportsPartialResults.value_or(true)) {
    partial = [&task](const std::string& text) { deliver(task, RecognitionResult{text, false}, std::nullopt); };
  }
  std::optional<Error> error = recognize(decoder.get(), *source, transcript, partial);
  if (error) return deliver(task, std::nullopt, error);
  deliver(task, RecognitionResult{transcript.text(), true}, std::nullopt);
}

// A file is decoded on as many decoders as it keeps busy, and reports its
// progress at a pace that keeps the output linear in the file's length.
void Recognizer::runFile(const std::shared_ptr<TaskContext>& task,
                         const std::shared_ptr<DecoderLoader>& loader, AudioSource& source) {
  PartialText progress;
  if (task->options.reportsPartialResults.value_or(true)) {
    progress = [&task](const std::string& text) {
      deliver(task, RecognitionResult{text, false}, std::nullopt);
    };
  }
  std::string text;
  std::optional<Error> error =
      recognizeFile([&loader] { return loader->take(); }, source, task->format, progress, text);
  // With an error, the text so far goes along so that it ends as the final
  // text rather than being lost behind a less frequent progress report.
  if (error && text.empty()) return deliver(task, std::nullopt, error);
  deliver(task, RecognitionResult{text, !error}, error);
}

class Service final : public SpeechService {
 public:
  explicit Service(std::string root) : root_(std::move(root)) {}

  std::shared_ptr<SpeechRecognizer> recognizer(const Locale& locale) override;
  // Nothing leaves the machine, so there is nothing to ask the user.
  void requestAuthorization(std::function<void(long status)> handler) override { handler(3); }
  std::shared_ptr<AudioBufferRecognitionRequest> audioBufferRequest() override {
    return std::make_shared<LiveRequest>();
  }
  std::shared_ptr<URLRecognitionRequest> urlRequest(const FileURL& url) override {
    return std::make_shared<FileRequest>(url);
  }

 private:
  const std::string root_;
  std::mutex mutex_;  // guards loaders_
  std::map<std::string, std::shared_ptr<DecoderLoader>> loaders_;  // by folder
};

std::shared_ptr<SpeechRecognizer> Service::recognizer(const Locale& locale) {
  const std::optional<std::string> folder = modelFolderName(locale.identifier);
  if (!folder || !modelFolderExists(root_, *folder)) return nullptr;
  ModelFiles files = modelFiles(root_, *folder);
  if (!modelFilesReadable(files)) return std::make_shared<Recognizer>(std::move(files), nullptr);
  std::lock_guard lock(mutex_);
  std::shared_ptr<DecoderLoader>& loader = loaders_[*folder];
  // The first recognizer for a folder starts reading its model right away,
  // overlapping start-up, permissions and audio set-up.
  if (!loader) loader = std::make_shared<DecoderLoader>(files);
  return std::make_shared<Recognizer>(std::move(files), loader);
}

}  // namespace
}  // namespace pocketsphinx

std::unique_ptr<SpeechService> makePocketSphinxSpeech(std::string modelRoot) {
  pocketsphinx::silenceEngineLog();
  return std::make_unique<pocketsphinx::Service>(std::move(modelRoot));
}

}  // namespace platform
