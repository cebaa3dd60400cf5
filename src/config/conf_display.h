#pragma once
// The dconfigure display of the whole working configuration record.

namespace zuv {

struct app_state;

void conf_display(app_state& st);

}  // namespace zuv
