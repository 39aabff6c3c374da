#include "LinuxSerial.h"

namespace vantrell {

namespace {
class PendingBackend final : public SerialBackend {
public:
    OpenResult Open(const std::string& name) override {
        OpenResult result;
        result.path = name;
        result.error = {SerialErrorKind::NotFound, 0, "no serial backend yet"};
        return result;
    }
};
}  // namespace

SerialBackend& SystemSerialBackend() {
    static PendingBackend backend;
    return backend;
}

}  // namespace vantrell
