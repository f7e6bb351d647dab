#include "camerastate.h"

namespace pelmora {

namespace {

using S = CameraState;
using E = CameraEvent;
using A = CameraAction;

struct Row {
    CameraState from;
    CameraEvent event;
    CameraState to;
    CameraAction action;
};

// Every change the camera's state knows. An event without a row in the
// current state is ignored: Run while opening (the opening ends with
// PlayIfWanted), a frame, failure or retry of a camera no longer attached, a
// camera plugged in while one is attached.
constexpr Row kTable[] = {
    // from        event          to           action
    {S::Ready,    E::Run,        S::Starting, A::Play},
    {S::Opening,  E::Attached,   S::Ready,    A::PlayIfWanted},
    {S::Opening,  E::NoneOpened, S::NoCamera, A::RetryLater},
    {S::Opening,  E::Plugged,    S::Opening,  A::OpenAgainAfter},
    {S::Opening,  E::Unplugged,  S::Opening,  A::DropWhenAttached},
    // A camera counts as delivering from its own first frame on.
    {S::Starting, E::FirstFrame, S::Live,     A::None},
    // A camera that fails, even before it ever streamed, is let go at once.
    {S::Ready,    E::Failed,     S::Opening,  A::PassOverReplace},
    {S::Starting, E::Failed,     S::Opening,  A::PassOverReplace},
    {S::Live,     E::Failed,     S::Opening,  A::PassOverReplace},
    {S::Ready,    E::Unplugged,  S::Opening,  A::Replace},
    {S::Starting, E::Unplugged,  S::Opening,  A::Replace},
    {S::Live,     E::Unplugged,  S::Opening,  A::Replace},
    {S::NoCamera, E::Plugged,    S::Opening,  A::Replace},
    {S::NoCamera, E::RetryDue,   S::Opening,  A::RetryAll},
};

} // namespace

std::optional<CameraStep> NextCameraStep(CameraState state, CameraEvent event)
{
    for (const Row& row : kTable)
        if (row.from == state && row.event == event)
            return CameraStep{row.to, row.action};
    return std::nullopt;
}

} // namespace pelmora
