#include "cli/StopSignals.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace dnp::cli {
namespace {

volatile sig_atomic_t gWriteEnd = -1;

}  // namespace

StopSignals::StopSignals(std::function<void(int signal)> onStop) : onStop_(std::move(onStop))
{
    if (::pipe2(pipe_.data(), O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    gWriteEnd = pipe_[1];
    notifier_ = std::make_unique<QSocketNotifier>(pipe_[0], QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, notifier_.get(), [this] {
        unsigned char signal = 0;
        if (::read(pipe_[0], &signal, 1) != 1)
            return;
        notifier_->setEnabled(false);
        restore();
        onStop_(signal);
    });
    struct sigaction action {};
    action.sa_handler = handle;
    sigemptyset(&action.sa_mask);
    for (std::size_t k = 0; k < kStopSignals.size(); ++k)
        ::sigaction(kStopSignals[k], &action, &previous_[k]);
    installed_ = true;
}

StopSignals::~StopSignals()
{
    restore();
    notifier_.reset();
    gWriteEnd = -1;
    for (const int fd : pipe_)
        if (fd >= 0)
            ::close(fd);
}

void StopSignals::handle(int signal)
{
    const int saved = errno;
    const auto number = static_cast<unsigned char>(signal);
    if (gWriteEnd >= 0)
        (void)!::write(gWriteEnd, &number, 1);
    errno = saved;
}

void StopSignals::restore()
{
    if (!installed_)
        return;
    installed_ = false;
    for (std::size_t k = 0; k < kStopSignals.size(); ++k)
        ::sigaction(kStopSignals[k], &previous_[k], nullptr);
}

}  // namespace dnp::cli
