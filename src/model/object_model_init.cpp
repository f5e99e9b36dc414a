#include "model/object_model_init.h"

#include <mutex>

#include "model/animation/anim_params.h"
#include "model/generated_pictures.h"

namespace viv {

void InitObjectModel() {
  static std::once_flag once;
  std::call_once(once, [] {
    CheckAnimatedFields();
    RegisterModelPictureProducers();
  });
}

}  // namespace viv
