// Harbour quay: the quay wall with moored boats ahead, the harbour front behind.
#include "town.inc"
Sun(140, 35)
Sky(<0.78, 0.86, 0.95>, <0.25, 0.45, 0.80>)

// quay (z < 3) and water beyond
box { <-200, -1, -200>, <200, 0, 3> texture { Cobbles } }
box { <-200, -3, 3>, <200, -0.6, 400> texture { Water } }
box { <-200, -3, 2.8>, <200, 0, 3.2> texture { T_Stone8 scale 2 } }
plane { y, -3 pigment { color rgb <0.05, 0.1, 0.1> } }
// far shore
#declare S = seed(7);
#for (I, 0, 40)
  House(5 + rand(S) * 4, 6, 6 + rand(S) * 6, Plaster[mod(I, 6)], <-200 + I * 10, -0.6, 330 + rand(S) * 20>, 0)
#end
// boats
#macro Boat(Position, Turn, Colour)
  // a solid hull whose deck lies half a metre above the water (-0.6)
  union {
    intersection {
      sphere { 0, 1 scale <1.4, 0.9, 4.2> }
      box { <-5, -5, -5>, <5, 0, 5> }
      texture { pigment { color rgb Colour } finish { specular 0.5 } }
    }
    box { <-1.2, -0.05, -3.6>, <1.2, 0.02, 3.6> texture { T_Wood12 scale 0.3 } }
    box { <-0.7, 0, -2.2>, <0.7, 0.8, -0.6> pigment { color rgb <0.95, 0.95, 0.92> } }
    cylinder { <0, 0, 0.5>, <0, 6.5, 0.5>, 0.07 pigment { color rgb <0.9, 0.9, 0.85> } }
    triangle { <0, 0.9, 0.6>, <0, 6.3, 0.6>, <0, 0.9, 3.2> pigment { color rgb <0.97, 0.96, 0.90> } }
    translate <0, -0.1, 0> rotate <0, Turn, 0> translate Position
  }
#end
Boat(<-6, 0, 9>, 10, <0.8, 0.15, 0.12>)
Boat(<2, 0, 12>, -5, <0.15, 0.3, 0.6>)
Boat(<11, 0, 8>, 20, <0.95, 0.95, 0.92>)
Boat(<-18, 0, 14>, 0, <0.2, 0.5, 0.3>)
// bollards along the edge
#for (I, -40, 40, 4)
  cylinder { <I, 0, 2.5>, <I, 0.6, 2.5>, 0.2 pigment { color rgb <0.15, 0.15, 0.15> } }
#end
// harbour front behind
#declare S = seed(3);
#for (I, 0, 11)
  House(6 + rand(S) * 2, 8, 7 + rand(S) * 5, Plaster[mod(I * 5, 6)], <-44 + I * 8, 0, -14>, 180)
#end
#for (I, -30, 30, 12)
  Lamp(<I, 0, 1.2>)
#end
Tree(<-14, 0, -6>, 1.3)
Tree(<18, 0, -6>, 1.1)
