Only name
2,0.5,1,2,2,0,0,0
