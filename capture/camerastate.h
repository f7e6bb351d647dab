#pragma once
// The life of the capture graph's camera as one state, and every change of
// that state as one row of one table (camerastate.cpp).
#include <optional>

namespace pelmora {

enum class CameraState {
    NoCamera, // none attached: the last one failed or went, or none listed could
              // be opened; waiting for one to be plugged in, or for the retry
    Opening,  // the camera end is being rebuilt, off the window thread
    Ready,    // a camera is attached and connected; its stream not yet asked for
    Starting, // its stream is asked for; none of its frames has passed the grabber
    Live,     // its frames pass the grabber, since its first one
};

enum class CameraEvent {
    Run,        // the capture page wants the stream, from now on for good
    Attached,   // the rebuilt camera end holds a camera
    NoneOpened, // no camera listed could be opened and connected
    FirstFrame, // the attached camera's first frame passed the grabber
    Failed,     // the attached camera's start was refused, or its stream
                // stopped with an error or ended
    Unplugged,  // the attached camera left the device list (while opening:
                // any camera did)
    Plugged,    // a camera was plugged in
    RetryDue,   // the time to try the listed cameras again has come
};

enum class CameraAction {
    None,
    Play,             // start the stream
    PlayIfWanted,     // start it if the capture page has asked for it
    Replace,          // take the camera end out; open the first camera listed
                      // that is not passed over
    PassOverReplace,  // the same, passing the failed camera over until it is
                      // plugged in again or the retry comes
    RetryLater,       // a camera plugged in meanwhile is opened now; else the
                      // listed ones are tried again after a growing pause
    OpenAgainAfter,   // once the opening under way is done, a camera plugged in
                      // meanwhile counts
    DropWhenAttached, // a camera being opened may be the one unplugged: it is
                      // dropped once attached
    RetryAll,         // open the first camera listed, passed over or not
};

struct CameraStep {
    CameraState next;
    CameraAction action;
};

// The table's row for the state and the event; none when the event changes
// nothing in that state.
std::optional<CameraStep> NextCameraStep(CameraState state, CameraEvent event);

} // namespace pelmora
