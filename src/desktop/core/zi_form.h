#pragma once
// The base of the desktop's own forms: a hook at the first activation, and a hook at the first
// paint, run once the form is really on screen (a window that loads slowly loads there).

namespace zi::desktop {

// What the form's view does for the first-paint cycle.
class tFormView {
 public:
  virtual ~tFormView() = default;
  // Shown again it covers the client area, in front, and the form is repainted.
  virtual void SetCurtainVisible(bool visible) = 0;
  // Queues RunFirstPaint: the load must not run inside a paint event.
  virtual void PostFirstPaint() = 0;
};

class tZiForm {
 public:
  virtual ~tZiForm() = default;
  virtual const char* ClassName() const = 0;

  void SetFormView(tFormView* view) { formView_ = view; }

  // Activation: calls OnFirstActivate on the first one only.
  void FormActivate();
  // The curtain is asked to paint; with a non-empty area and the first paint not yet done, the
  // curtain goes and OnFirstPaint is queued. True when it was queued.
  bool CurtainPaint(bool nonEmptyArea);
  // The queued call of CurtainPaint.
  void RunFirstPaint() { OnFirstPaint(); }
  // OnFirstPaint runs again at the next paint.
  void RearmFirstPaint();

  bool Activated() const { return activated_; }
  bool FirstPaintDone() const { return firstPaintDone_; }

 protected:
  virtual void OnFirstActivate() {}
  virtual void OnFirstPaint() {}

 private:
  tFormView* formView_ = nullptr;
  bool activated_ = false;
  bool firstPaintDone_ = false;
};

}  // namespace zi::desktop
