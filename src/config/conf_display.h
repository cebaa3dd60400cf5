#pragma once
// The dconfigure display of the whole working configuration record.

namespace zuv {

struct config_state;

void conf_display(config_state& st);

}  // namespace zuv
