#include "sorrel/com/ComServices.h"

namespace Sorrel::Com {

ComServices::ComServices()
    : ComServices(std::make_unique<ComExecutorVelaFactory>(), std::make_unique<NetSeekLanSeeker>()) {}

ComServices::ComServices(std::unique_ptr<ComExecutorFactory> factory, std::unique_ptr<LanSeeker> seeker)
    : units_(std::move(factory)), watchers_(units_, UsbBusProbe::Library(), std::move(seeker)) {}

}  // namespace Sorrel::Com
