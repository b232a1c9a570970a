#pragma once
// The items of "Options(&O)", kept between runs in the user's settings file
// (orvex/orvex.conf in the user's configuration folder).

struct UserOptions {
    bool holdToJog = false;  // "Hold to Jog": the jog buttons act while held
};

UserOptions LoadUserOptions();
void SaveUserOptions(const UserOptions &options);
