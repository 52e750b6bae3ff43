#include "link/protocol/CommModule.h"

namespace verno::link {

CommModule::CommModule(Port& port, MonotonicClock& clock, Pump& pump) : port_(port), clock_(clock), pump_(pump) {
    ResizeReceiveBuffers(kMinReceiveBuffer - 1);
}

}  // namespace verno::link
