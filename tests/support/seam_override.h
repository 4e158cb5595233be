// A seam replaced for a test's lifetime: the setter's previous value is put back when the object goes.
#pragma once

namespace vandrel::test {

// For the product's seams of the form `Fn SetSomething(Fn replacement)`, which return the previous one.
template <class Fn>
class SeamOverride {
public:
    SeamOverride(Fn (*set)(Fn), Fn replacement) : set_(set), previous_(set(replacement)) {}
    ~SeamOverride() { set_(previous_); }
    SeamOverride(const SeamOverride&) = delete;
    SeamOverride& operator=(const SeamOverride&) = delete;

private:
    Fn (*set_)(Fn);
    Fn previous_;
};

}  // namespace vandrel::test
