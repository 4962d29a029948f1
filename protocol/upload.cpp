#include "protocol/upload.h"

#include "protocol/commands.h"

namespace modem {

UploadFrame uploadFrame(const Mset& mset) {
    return {cmdCfwr(), toImage(mset)};
}

}  // namespace modem
