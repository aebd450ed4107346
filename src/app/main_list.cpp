#include "app/main_list.h"

#include "app/converter_state.h"

namespace quorvel {
void FillList(ConverterState&) {}
}  // namespace quorvel
