#pragma once
// The trail of a word gesture in a window's keys: the view draws the session's stroke while the
// touch is one, and fades it out once the touch ends.
namespace wendrel {

class KeyboardView;
class SessionClock;
class TypingSession;

// The session and the view must outlive nothing the other holds: the connection is the view's.
void followStrokes(KeyboardView &view, const TypingSession &typing, const SessionClock &clock);

} // namespace wendrel
