#include "runtime/mmstream/playback.h"

#include <cstdio>
#include <utility>

#include "runtime/mmstream/audio_converter.h"
#include "runtime/mmstream/stream_service.h"

namespace vrel::mmstream {
namespace {

// How long SetRunning(true) waits for the first picture and some sound.
constexpr std::chrono::milliseconds kPrerollLimit{500};
// The longest the decode thread sleeps with nothing to do; anything that gives it work
// wakes it sooner.
constexpr std::chrono::milliseconds kIdleLimit{250};
// Waits for a picture are cut into slices so clock corrections are seen.
constexpr std::chrono::milliseconds kWaitSlice{100};
// How long after the clock passes the end of the sound the card closes: what the card and
// a sound server still hold is heard by then.
constexpr std::chrono::milliseconds kSoundTail{250};
// How long the card stays open after the stream stops: a stop, seek and run in a row (a
// restart, a step to another place) neither closes it nor waits for its closing.
constexpr std::chrono::milliseconds kCloseDelay{250};

std::atomic<uint64_t> g_lastSerial{0};

void NotifyChanged() {
    StreamService::Get().NotifyChanged();
}

std::chrono::microseconds Microseconds(StreamTicks ticks) {
    return std::chrono::duration_cast<std::chrono::microseconds>(ticks);
}

}  // namespace

std::shared_ptr<Playback> Playback::Create() {
    std::shared_ptr<Playback> playback(new Playback());
    StreamService::Get().Add(playback);
    return playback;
}

Playback::Playback() = default;

Playback::~Playback() {
    StreamService::Get().Remove(this);
    Shutdown();
}

HRESULT Playback::Open(const std::string& name, bool wantVideo, bool wantAudio,
                       std::unique_ptr<MovieBytes> bytes) {
    HRESULT result = S_OK;
    std::string cause;
    std::unique_ptr<MovieSource> source;
    if (std::unique_ptr<MediaFile> file =
            MediaFile::Open(name, std::move(bytes), &stopDecoding_, &result, &cause)) {
        source = MovieSource::Create(std::move(file), wantVideo, wantAudio, this, &cause);
        result = source ? S_OK : VFW_E_UNSUPPORTED_STREAM;
    }
    if (!source) {
        std::fprintf(stderr, "%s: %s\n", name.c_str(), cause.c_str());
        return result;
    }
    source_ = std::move(source);
    AttachSound(name);
    {
        std::lock_guard lock(mutex_);
        clock_ = std::make_unique<StreamClock>(audio_ ? &audio_->Position() : nullptr);
        video_ = source_->Video();
        duration_ = source_->Duration();
        hasSound_ = audio_ != nullptr;
        opened_ = true;
        name_ = name;
        serial_ = ++g_lastSerial;
    }
    decoder_ = std::thread([this] { DecodeLoop(); });
    NotifyChanged();
    return S_OK;
}

// Sound plays only where there is a device; without one the picture plays alone.
void Playback::AttachSound(const std::string& name) {
    if (!source_->HasAudio()) {
        return;
    }
    if (!PlayableSound(source_->AudioRate(), source_->AudioChannels())) {
        std::fprintf(stderr, "%s: sound of %d Hz in %d channels is not played\n", name.c_str(),
                     source_->AudioRate(), source_->AudioChannels());
        source_->SetRenderer(nullptr);
        return;
    }
    std::string reason;
    audio_ = AudioRenderer::Open(source_->AudioRate(), source_->AudioChannels(), &reason);
    if (!audio_) {
        StreamService::Get().ReportNoAudioDevice(reason);
    }
    source_->SetRenderer(audio_.get());
}

bool Playback::IsOpen() const {
    std::lock_guard lock(mutex_);
    return opened_ && !closing_;
}

std::optional<VideoFormat> Playback::Video() const {
    std::lock_guard lock(mutex_);
    return video_;
}

std::optional<StreamTicks> Playback::Duration() const {
    std::lock_guard lock(mutex_);
    return duration_;
}

bool Playback::HasSound() const {
    std::lock_guard lock(mutex_);
    return hasSound_;
}

bool Playback::SoundDeviceOpen() {
    std::lock_guard soundLock(soundMutex_);
    return audio_ && audio_->DeviceOpen();
}

// The card is open while the stream runs with sound left to play (or is about to, or has just
// stopped), and closed otherwise: an open card has SDL's thread wake every buffer, even for
// silence. Without a card the picture plays on alone.
bool Playback::WantsSound() {
    std::lock_guard lock(mutex_);
    bool justStopped = MonoClock::now() < stoppedAt_ + kCloseDelay;
    return (running_ || starting_ || justStopped) && !closing_ && !soundPlayedOut_;
}

// Control threads: opening is quick.
void Playback::OpenSoundIfWanted() {
    std::lock_guard soundLock(soundMutex_);
    std::string reason;
    if (audio_ && WantsSound() && !audio_->OpenDevice(&reason)) {
        StreamService::Get().ReportNoAudioDevice(reason);
    }
}

// The decode thread: closing waits until SDL's thread has played out what it holds (a few
// buffers, or a sound server's block), which no control call should wait for.
void Playback::CloseSoundIfIdle() {
    std::lock_guard soundLock(soundMutex_);
    if (audio_ && !WantsSound()) {
        audio_->CloseDevice();
    }
}

void Playback::SetRunning(bool run) {
    if (run) {
        {
            std::lock_guard lock(mutex_);
            starting_ = true;
        }
        OpenSoundIfWanted();  // silent until the timeline runs; not while the clock does
    }
    std::unique_lock lock(mutex_);
    if (!opened_ || closing_ || running_ == run) {
        starting_ = false;
        return;
    }
    if (run) {
        WaitForPreroll(lock);
        starting_ = false;  // running from here on, under the same hold of the lock
        if (closing_ || running_) {
            return;
        }
    }
    MonoTime now = MonoClock::now();
    running_ = run;
    if (run) {
        clock_->Run(now);  // before the sound, so its first report counts
    }
    if (audio_) {
        audio_->SetRunning(run);
    }
    if (!run) {
        clock_->Stop(now);
        stoppedAt_ = now;
    }
    changed_.notify_all();
    lock.unlock();
    WakeDecoder();  // it closes the card a while after a stop
    NotifyChanged();
}

bool Playback::Prerolled() const {
    bool picture = !video_ || !frames_.Empty() || videoEnded_;
    bool sound = !audio_ || audioEnded_ || audio_->Prerolled();
    return picture && sound;
}

// Starting waits (briefly) for the first picture and some sound, so the first frame is not
// already late and the first sound is not cut.
void Playback::WaitForPreroll(std::unique_lock<std::mutex>& lock) {
    MonoTime deadline = MonoClock::now() + kPrerollLimit;
    while (!closing_ && !Prerolled() && MonoClock::now() < deadline) {
        changed_.wait_for(lock, std::chrono::milliseconds(2));
    }
}

bool Playback::Running() const {
    std::lock_guard lock(mutex_);
    return running_;
}

StreamTicks Playback::Time() {
    std::lock_guard lock(mutex_);
    return clock_ ? clock_->Now(MonoClock::now()) : StreamTicks{0};
}

std::optional<PlaybackView> Playback::View() {
    std::lock_guard lock(mutex_);
    if (!opened_ || closing_) {
        return std::nullopt;
    }
    PlaybackView view;
    view.running = running_;
    view.ended = endReached_;
    view.position = Microseconds(running_ || !video_ ? clock_->Now(MonoClock::now()) : shownStart_);
    if (duration_) {
        view.duration = Microseconds(*duration_);
    }
    view.file = name_;
    view.serial = serial_;
    return view;
}

bool Playback::ClockFollowsSound() {
    std::lock_guard lock(mutex_);
    return clock_ && clock_->FollowingAudio(MonoClock::now());
}

void Playback::Seek(StreamTicks position) {
    if (!IsOpen()) {
        return;
    }
    ++controlWaiting_;
    {
        std::lock_guard sourceLock(sourceMutex_);
        if (source_) {
            source_->Seek(position);  // the sound restarts there too
        }
        std::lock_guard lock(mutex_);
        frames_.Clear();
        videoEnded_ = false;
        audioEnded_ = false;
        soundPlayedOut_ = false;
        videoEnd_ = position;
        givenUntil_ = position;
        shownStart_ = position;
        endReached_ = false;
        clock_->SetPosition(position, MonoClock::now());
        changed_.notify_all();
    }
    --controlWaiting_;
    OpenSoundIfWanted();  // a seek after the end of the sound brings more
    WakeDecoder();
    NotifyChanged();
}

Playback::Next Playback::NextFrame(AVFrame* into, QueuedFrame* times) {
    std::unique_lock lock(mutex_);
    for (;;) {
        if (!running_ || closing_) {
            return Next::NotRunning;
        }
        MonoTime now = MonoClock::now();
        MonoTime wakeAt = now + kWaitSlice;
        if (std::optional<Next> result = TakeDueFrame(into, times, now, &wakeAt)) {
            if (*result == Next::Frame) {
                givenUntil_ = times->End();
                shownStart_ = times->start;
            } else if (!std::exchange(endReached_, true)) {
                NotifyChanged();
            }
            // The decoder refills only from one picture left: an earlier wake finds no work.
            const bool refillDue = frames_.Size() <= 1;
            lock.unlock();
            if (refillDue) {
                WakeDecoder();
            }
            return *result;
        }
        // Looked at again every slice: the clock may have moved.
        StreamTicks due = frames_.Empty() ? givenUntil_ : frames_.Front().start;
        MonoTime giveUpAt = clock_->When(due, now);
        giveUpAt = giveUpAt == MonoTime::max() ? giveUpAt : giveUpAt + kStallLimit;
        if (now >= giveUpAt) {
            // The picture shown again counts as given now: while the decoder stays behind,
            // each call waits its full limit again instead of returning at once.
            givenUntil_ = std::max(givenUntil_, clock_->Now(now));
            return Next::Stalled;
        }
        changed_.wait_until(lock, std::min(wakeAt, giveUpAt));
    }
}

std::optional<Playback::Next> Playback::TakeDueFrame(AVFrame* into, QueuedFrame* times,
                                                     MonoTime now, MonoTime* wakeAt) {
    if (!video_) {
        return Next::EndOfStream;  // no picture: the movie has nothing to show
    }
    StreamTicks clock = clock_->Now(now);
    while (!frames_.Empty()) {
        const QueuedFrame& front = frames_.Front();
        bool late = clock >= front.End();
        if (late && (frames_.Size() > 1 || videoEnded_)) {
            frames_.DropFront();  // a later picture is due already
            continue;
        }
        if (clock >= front.start || late) {
            *times = front;
            frames_.PopInto(into);
            return Next::Frame;
        }
        *wakeAt = std::min(*wakeAt, clock_->When(front.start, now));
        return std::nullopt;
    }
    if (videoEnded_) {
        if (clock >= videoEnd_) {
            return Next::EndOfStream;
        }
        *wakeAt = std::min(*wakeAt, clock_->When(videoEnd_, now));
    }
    return std::nullopt;  // the decoder is behind: wait for its picture
}

bool Playback::VideoRoom() {
    std::lock_guard lock(mutex_);
    StreamTicks clock = clock_->Now(MonoClock::now());
    while (frames_.Size() > 1 && frames_.Front().End() <= clock) {
        frames_.DropFront();  // nobody took it in time, and a later one is there
    }
    // Refills come in bursts, from one picture left up to full: decoding several pictures in
    // a row finds the decoder's state still in the caches (about a tenth less CPU than one
    // picture every frame time).
    if (frames_.Size() <= 1) {
        refilling_ = true;
    } else if (frames_.Full()) {
        refilling_ = false;
    }
    return refilling_;
}

void Playback::PushVideo(AVFrame* frame, QueuedFrame times) {
    std::lock_guard lock(mutex_);
    bool wasEmpty = frames_.Empty();
    frames_.Push(frame, times);
    if (wasEmpty) {
        changed_.notify_all();  // only a wait for any picture at all needs to hear of it
    }
}

void Playback::VideoEnded(StreamTicks end) {
    std::lock_guard lock(mutex_);
    videoEnded_ = true;
    videoEnd_ = end;
    changed_.notify_all();
}

void Playback::AudioEnded() {
    std::lock_guard lock(mutex_);
    audioEnded_ = true;
    soundEnd_ = audio_->QueuedEnd();
    changed_.notify_all();
}

void Playback::DecodeLoop() {
    while (!stopDecoding_.load()) {
        uint64_t seen = wakeGeneration_.load();
        bool worked = false;
        if (controlWaiting_.load() == 0) {
            std::lock_guard lock(sourceMutex_);
            worked = source_->Step();
        }
        if (!worked) {
            NoteSoundPlayedOut();
            CloseSoundIfIdle();
            WaitForWork(seen);
        }
    }
}

// Once the clock has passed the end of the data's sound (and its tail), the card closes
// until a seek brings more.
void Playback::NoteSoundPlayedOut() {
    std::lock_guard lock(mutex_);
    if (running_ && audioEnded_ && clock_->Now(MonoClock::now()) >= soundEnd_ + kSoundTail) {
        soundPlayedOut_ = true;
    }
}

// When the decode thread next has work nobody will wake it for: a queued picture going
// stale, the sound running low or played out. Stopped, or with everything played, nothing
// changes until a call wakes it.
MonoTime Playback::NextDecodeDeadline() {
    MonoTime now = MonoClock::now();
    std::lock_guard lock(mutex_);
    bool pictureDone = !video_ || (videoEnded_ && frames_.Size() <= 1);
    bool soundDone = !audio_ || soundPlayedOut_;
    if (!running_) {
        bool closeDue = audio_ && !closing_ && audio_->DeviceOpen();
        return closeDue ? stoppedAt_ + kCloseDelay : MonoTime::max();
    }
    if (pictureDone && soundDone) {
        return MonoTime::max();
    }
    MonoTime deadline = now + kIdleLimit;
    if (frames_.Size() > 1) {
        // Nobody taking pictures (the window inactive): all but the newest go stale then, and
        // the refill is due.
        const QueuedFrame& beforeNewest = frames_.At(frames_.Size() - 2);
        deadline = std::min(deadline, clock_->When(beforeNewest.End(), now));
    }
    if (audio_ && !audioEnded_) {
        deadline = std::min(deadline, now + audio_->TimeUntilLow());
    } else if (audio_ && !soundPlayedOut_) {
        deadline = std::min(deadline, clock_->When(soundEnd_ + kSoundTail, now));
    }
    return deadline;
}

void Playback::WaitForWork(uint64_t seenGeneration) {
    MonoTime deadline = NextDecodeDeadline();
    auto woken = [&] { return wakeGeneration_.load() != seenGeneration || stopDecoding_.load(); };
    std::unique_lock lock(wakeMutex_);
    if (deadline == MonoTime::max()) {
        wake_.wait(lock, woken);
    } else {
        wake_.wait_until(lock, deadline, woken);
    }
}

void Playback::WakeDecoder() {
    {
        std::lock_guard lock(wakeMutex_);
        ++wakeGeneration_;
    }
    wake_.notify_one();
}

void Playback::Shutdown() {
    std::lock_guard guard(shutdownMutex_);
    bool wasOpen = false;
    {
        std::lock_guard lock(mutex_);
        wasOpen = opened_ && !closing_;
        closing_ = true;
        running_ = false;
        if (clock_) {
            clock_->Stop(MonoClock::now());  // no longer reads the sound's reports
        }
        changed_.notify_all();
    }
    if (wasOpen) {
        NotifyChanged();
    }
    stopDecoding_ = true;
    WakeDecoder();
    if (decoder_.joinable()) {
        decoder_.join();
    }
    std::lock_guard sourceLock(sourceMutex_);
    source_.reset();
    {
        std::lock_guard soundLock(soundMutex_);
        audio_.reset();  // closes the device: SDL's audio thread ends here
    }
    std::lock_guard lock(mutex_);
    frames_.Clear();
}

}  // namespace vrel::mmstream
