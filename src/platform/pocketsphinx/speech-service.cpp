// One recognizer per model folder under the model root, decoders loaded
// ahead of need, and each task decoding on a worker thread of its own while
// its deliveries go to the main queue.
#include "platform/pocketsphinx/speech-service.h"

#include <map>
#include <mutex>

#include "platform/dispatch.h"
#include "platform/pocketsphinx/decoder.h"
#include "platform/pocketsphinx/engine-log.h"
#include "platform/pocketsphinx/model-check.h"
#include "platform/pocketsphinx/file-recognition.h"
#include "platform/pocketsphinx/model.h"
#include "platform/pocketsphinx/recognition.h"
#include "platform/pocketsphinx/requests.h"
#include "platform/transcript/word-case.h"

namespace platform::pocketsphinx {
namespace {

// What one task needs on its worker thread, held there until its last
// delivery has been queued (each delivery holds the request too).
struct TaskContext {
  std::shared_ptr<RecognitionRequest> request;
  ResultHandler handler;
  RequestOptions options;
  transcript::FormatOptions format;
  std::shared_future<std::shared_ptr<const transcript::WordCase>> wordCase;  // invalid: not English
};

// Queues one delivery on the main queue. Any thread.
void deliver(const std::shared_ptr<TaskContext>& task, std::optional<RecognitionResult> result,
             std::optional<Error> error) {
  mainAsync([task, result = std::move(result), error = std::move(error)] {
    task->handler(result, error);
  });
}

// Worker threads: the word list once its background load is done; null
// where the model is not English.
std::shared_ptr<const transcript::WordCase> wordCase(const TaskContext& task) {
  return task.wordCase.valid() ? task.wordCase.get() : nullptr;
}

void deliverError(const std::shared_ptr<TaskContext>& task, std::string description) {
  deliver(task, std::nullopt, Error{std::move(description)});
}

class Recognizer final : public SpeechRecognizer {
 public:
  Recognizer(ModelFiles files, std::shared_ptr<DecoderLoader> loader)
      : files_(std::move(files)), loader_(std::move(loader)) {}

  bool isAvailable() override { return loader_ != nullptr && modelFilesUsable(files_); }

  void recognitionTask(std::shared_ptr<RecognitionRequest> request, ResultHandler handler) override;

 private:
  // Worker thread: the whole of one task.
  static void run(std::shared_ptr<TaskContext> task, std::shared_ptr<DecoderLoader> loader,
                  std::unique_ptr<sound::AudioSource> source);
  static void runFile(const std::shared_ptr<TaskContext>& task,
                      const std::shared_ptr<DecoderLoader>& loader, sound::AudioSource& source);
  static std::unique_ptr<sound::AudioSource> openSource(const std::shared_ptr<TaskContext>& task);

  const ModelFiles files_;
  const std::shared_ptr<DecoderLoader> loader_;  // null: the model looked unusable
};

void Recognizer::recognitionTask(std::shared_ptr<RecognitionRequest> request,
                                 ResultHandler handler) {
  auto task = std::make_shared<TaskContext>(TaskContext{std::move(request), std::move(handler), {}, {}, {}});
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
  if (task->format.english) task->wordCase = transcript::sharedDebianWordCase();
  globalAsync("recognize", [task, loader = loader_] {
    std::unique_ptr<sound::AudioSource> source = openSource(task);
    if (source) run(task, loader, std::move(source));
  });
}

// Worker thread. A file that cannot be read fails the task before any
// decoding, so the error is its one and only delivery.
std::unique_ptr<sound::AudioSource> Recognizer::openSource(const std::shared_ptr<TaskContext>& task) {
  if (auto* live = dynamic_cast<LiveRequest*>(task->request.get()))
    return std::make_unique<sound::LiveSource>(live->handoff());
  auto* file = static_cast<FileRequest*>(task->request.get());
  Result<std::unique_ptr<sound::SoundFile>> sound = sound::SoundFile::open(file->url().path);
  if (!sound.ok()) {
    deliver(task, std::nullopt, sound.error());
    return nullptr;
  }
  return std::make_unique<sound::FileSource>(std::move(*sound));
}

void Recognizer::run(std::shared_ptr<TaskContext> task, std::shared_ptr<DecoderLoader> loader,
                     std::unique_ptr<sound::AudioSource> source) {
  if (dynamic_cast<FileRequest*>(task->request.get())) return runFile(task, loader, *source);
  Result<Decoder> decoder = loader->take(task->options.contextualStrings);
  if (!decoder.ok()) return deliver(task, std::nullopt, decoder.error());
  // A model damage the loader's checks let through can still stop the
  // library mid-decoding: the task ends with an error, not the process.
  EngineWatch watch([task] { deliverError(task, kDecoderFailure); });
  transcript::Transcript transcript(task->format, wordCase(*task));
  PartialText partial;
  if (task->options.reportsPartialResults.value_or(true)) {
    partial = [&task](const std::string& text) { deliver(task, RecognitionResult{text, false}, std::nullopt); };
  }
  const Result<> recognized = recognize(decoder->get(), *source, transcript, partial, kLiveSliceSamples);
  if (!recognized.ok()) return deliver(task, std::nullopt, recognized.error());
  deliver(task, RecognitionResult{transcript.text(), true}, std::nullopt);
}

// A file is decoded on as many decoders as it keeps busy, and reports its
// progress at a pace that keeps the output linear in the file's length.
void Recognizer::runFile(const std::shared_ptr<TaskContext>& task,
                         const std::shared_ptr<DecoderLoader>& loader, sound::AudioSource& source) {
  PartialText progress;
  if (task->options.reportsPartialResults.value_or(true)) {
    progress = [&task](const std::string& text) {
      deliver(task, RecognitionResult{text, false}, std::nullopt);
    };
  }
  std::string text;
  const Result<> recognized =
      recognizeFile([&] { return loader->take(task->options.contextualStrings); }, source,
                    task->format, wordCase(*task), progress, text);
  if (recognized.ok()) return deliver(task, RecognitionResult{text, true}, std::nullopt);
  // With an error, the text so far goes along so that it ends as the final
  // text rather than being lost behind a less frequent progress report.
  if (text.empty()) return deliver(task, std::nullopt, recognized.error());
  deliver(task, RecognitionResult{text, false}, recognized.error());
}

// The decoder loaders, one per model folder, and the vocabulary they are to
// expect: the first contextual strings a request recorded. Shared with the
// requests, which may outlive the service.
class Loaders {
 public:
  std::shared_ptr<DecoderLoader> forFolder(const ModelFiles& files);
  void expect(const Vocabulary& vocabulary);

 private:
  std::mutex mutex_;  // guards the rest
  std::map<std::string, std::shared_ptr<DecoderLoader>> byFolder_;
  std::optional<Vocabulary> expected_;
};

std::shared_ptr<DecoderLoader> Loaders::forFolder(const ModelFiles& files) {
  std::lock_guard lock(mutex_);
  std::shared_ptr<DecoderLoader>& loader = byFolder_[files.folder];
  // The first recognizer for a folder starts reading its model right away,
  // overlapping start-up, permissions and audio set-up.
  if (!loader) {
    loader = std::make_shared<DecoderLoader>(files);
    if (expected_) loader->expectVocabulary(*expected_);
  }
  return loader;
}

void Loaders::expect(const Vocabulary& vocabulary) {
  std::lock_guard lock(mutex_);
  if (!expected_) expected_ = vocabulary;
  for (auto& [folder, loader] : byFolder_) loader->expectVocabulary(vocabulary);
}

class Service final : public SpeechService {
 public:
  explicit Service(std::string root) : root_(std::move(root)) {}

  std::shared_ptr<SpeechRecognizer> recognizer(const Locale& locale) override;
  // Nothing leaves the machine, so there is nothing to ask the user.
  void requestAuthorization(std::function<void(long status)> handler) override {
    handler(kAuthorizedStatus);
  }
  std::shared_ptr<AudioBufferRecognitionRequest> audioBufferRequest() override {
    return std::make_shared<LiveRequest>(expectStrings());
  }
  std::shared_ptr<URLRecognitionRequest> urlRequest(const FileURL& url) override {
    return std::make_shared<FileRequest>(url, expectStrings());
  }

 private:
  // Contextual strings reach the loaders as soon as a request records them,
  // long before its task starts.
  RequestState::StringsListener expectStrings() const {
    return [loaders = loaders_](const std::vector<std::string>& strings) { loaders->expect(strings); };
  }

  const std::string root_;
  const std::shared_ptr<Loaders> loaders_ = std::make_shared<Loaders>();
};

std::shared_ptr<SpeechRecognizer> Service::recognizer(const Locale& locale) {
  // A locale no folder can stand for has no recognizer, like one without a
  // folder: recognizer() has no error to report.
  const Result<std::string> folder = modelFolderName(locale.identifier);
  if (!folder.ok() || !modelFolderExists(root_, folder.value())) return nullptr;
  ModelFiles files = modelFiles(root_, folder.value());
  if (!modelFilesUsable(files)) return std::make_shared<Recognizer>(std::move(files), nullptr);
  std::shared_ptr<DecoderLoader> loader = loaders_->forFolder(files);
  if (files.folder.rfind("en", 0) == 0) transcript::sharedDebianWordCase();  // starts the word list's load
  return std::make_shared<Recognizer>(std::move(files), std::move(loader));
}

}  // namespace

std::unique_ptr<SpeechService> makeSpeechService(std::string modelRoot) {
  silenceEngineLog();
  return std::make_unique<Service>(std::move(modelRoot));
}

}  // namespace platform::pocketsphinx
