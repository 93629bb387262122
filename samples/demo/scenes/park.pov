// River park: a footbridge ahead over the river, trees and benches around.
#include "town.inc"
Sun(120, 40)
Sky(<0.82, 0.88, 0.95>, <0.30, 0.50, 0.85>)

difference {
  plane { y, 0 }
  box { <-300, -2, 8>, <300, 1, 20> }
  texture { Grass }
}
box { <-300, -2, 8>, <300, -0.5, 20> texture { Water } }
plane { y, -2 pigment { color rgb <0.1, 0.12, 0.08> } }
// gravel path to the bridge
box { <-1.2, -0.02, -30>, <1.2, 0.02, 8> texture { pigment { color rgb <0.72, 0.66, 0.56> } normal { granite 0.3 scale 0.05 } } }
// arched footbridge
union {
  intersection {
    cylinder { <-1.3, -12, 14>, <1.3, -12, 14>, 14 }
    cylinder { <-1.3, -12, 14>, <1.3, -12, 14>, 13.6 inverse }
    box { <-1.3, 0, 6>, <1.3, 3, 22> }
  }
  #for (K, -1, 1, 2)
    intersection {
      cylinder { <K * 1.25 - 0.05, -12, 14>, <K * 1.25 + 0.05, -12, 14>, 15.1 }
      cylinder { <K * 1.25 - 0.1, -12, 14>, <K * 1.25 + 0.1, -12, 14>, 13.6 inverse }
      box { <-1.3, 0, 6>, <1.3, 4, 22> }
    }
  #end
  texture { T_Wood10 scale 0.5 }
}
// trees along both banks and around the meadow
#declare S = seed(21);
#for (I, 0, 36)
  #local A = I * 10 + rand(S) * 6;
  #local R = 14 + rand(S) * 24;
  #local P = vrotate(<0, 0, R>, <0, A, 0>);
  #if (P.z < 6 | P.z > 22)
    Tree(P, 0.9 + rand(S) * 0.8)
  #end
#end
// benches and lamps along the path
#macro Bench(Position, Turn)
  union {
    box { <-1, 0.45, -0.2>, <1, 0.5, 0.2> }
    box { <-1, 0.5, 0.15>, <1, 0.9, 0.2> }
    box { <-0.9, 0, -0.15>, <-0.8, 0.45, 0.15> }
    box { <0.8, 0, -0.15>, <0.9, 0.45, 0.15> }
    texture { T_Wood7 scale 0.2 }
    rotate <0, Turn, 0> translate Position
  }
#end
Bench(<-3, 0, 2>, 90) Bench(<3, 0, -3>, -90) Bench(<-3, 0, -9>, 90)
Lamp(<2, 0, 5>) Lamp(<-2, 0, -6>) Lamp(<2, 0, -17>)
// houses beyond the river
#declare S = seed(4);
#for (I, 0, 9)
  House(6, 7, 7 + rand(S) * 5, Plaster[mod(I, 6)], <-40 + I * 9, 0, 45>, 0)
#end
