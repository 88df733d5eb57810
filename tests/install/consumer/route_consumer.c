/*
 * A native caller of the installed library: routes a five-ordinate hydrograph through one
 * Muskingum step (interval 60 min, K = 1 h, x = 0.2, initial outflow 10) and checks the
 * outflows against the hand-computed answer, C_a = 0.769231 and C_b = 0.230769 giving
 * 10, 12.307692, 20.532544, 25.507510, 18.963272; then repeats the call with no step, which
 * the library refuses with undefined outflows. Exit status 0 when all is as expected.
 */
#include <math.h>
#include <stdio.h>
#include <string.h>

#include <tovalin/tovalin.h>

enum { ORDINATES = 5, MESSAGE_WIDTH = 80 };
static const double kTolerance = 5e-7; /* m3/s, the rounding of the expected figures */
static const int kRefusedStatus = 14 * 512 + 12 * 8 + 4; /* RouteMuskingum, message 12, error */

int main(void) {
  const int interval_minutes = 60;
  const double k_hours = 1.0;
  const double x = 0.2;
  const int steps = 1;
  const double initial[1] = {10.0};
  double final_outflow[1] = {0.0};
  const int ordinates = ORDINATES;
  const double inflows[ORDINATES] = {10, 20, 30, 20, 10};
  const double expected[ORDINATES] = {10, 12.307692, 20.532544, 25.507510, 18.963272};
  double outflows[ORDINATES] = {0};
  int status = -1;
  char message[MESSAGE_WIDTH];
  memset(message, ' ', sizeof message);

  routemuskingum_(&interval_minutes, &k_hours, &x, &steps, initial, final_outflow, &ordinates,
                  inflows, outflows, &status, message, MESSAGE_WIDTH);

  int failures = status != 0;
  for (int i = 0; i < ORDINATES; ++i) {
    if (fabs(outflows[i] - expected[i]) > kTolerance) {
      fprintf(stderr, "outflow %d: %.6f, expected %.6f\n", i + 1, outflows[i], expected[i]);
      failures++;
    }
  }
  if (fabs(final_outflow[0] - expected[ORDINATES - 1]) > kTolerance) failures++;
  printf("routemuskingum_: status %d, peak outflow %.6f m3/s\n", status, outflows[3]);

  const int no_steps = 0;
  routemuskingum_(&interval_minutes, &k_hours, &x, &no_steps, initial, final_outflow,
                  &ordinates, inflows, outflows, &status, message, MESSAGE_WIDTH);
  for (int i = 0; i < ORDINATES; ++i) failures += !tovalin_is_undefined(outflows[i]);
  failures += status != kRefusedStatus || tovalin_is_undefined(inflows[0]) ||
              !tovalin_is_undefined(NAN);
  printf("refused: status %d, \"%.29s\"\n", status, message);
  return failures == 0 ? 0 : 1;
}
