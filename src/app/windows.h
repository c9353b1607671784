#pragma once
// The program's four windows, created in start-up order and wired together.
#include "app/tform3.h"
#include "app/tform4.h"
#include "app/tform53.h"
#include "app/tform54.h"

namespace tallyglass {

struct Windows {
  TForm3 form3;  // the connection window, the main window
  TForm53 form53{&form3};
  TForm54 form54;
  TForm4 form4{&form3};

  Windows() {
    form3.SetForms(&form53, &form54, &form4);
    form53.SetBusyNotice(&form4);
  }
};

}  // namespace tallyglass
