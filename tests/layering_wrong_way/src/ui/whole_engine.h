// A widget that takes the whole engine where its narrow views would do.
namespace tessa {
class KeyboardEngine;
}
